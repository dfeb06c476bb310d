// Pattern compilation and matching of TSearchContext: tokens and terms, word reading, the wildcard
// matcher, the term-sequence matcher with word skips, and the regular-expression buffer.
#include <time.h>
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "engine/ConcConfig.h"
#include "engine/ConcErrors.h"
#include "engine/ConcSearch.h"
#include "engine/ConcTextProcess.h"
#include "platform/Nls.h"
#include "ui/ConcDblProgress.h"
#include "ui/ConcProgress.h"

namespace {

uint8_t Byte(char C) {
    return static_cast<uint8_t>(C);
}

bool IsLineBreak(char C) {
    return C == '\r' || C == '\n';
}

bool IsBlankOrTab(char C) {
    return C == ' ' || C == '\t';
}

// Calls of CheckSearchCancel since the clock was last read, and when messages last ran; only the main
// thread gets here.
int SearchCancelCalls = 0;
std::chrono::steady_clock::time_point LastSearchPump;

void ServiceSearchWindow() {
    if (SearchTick() - LastSearchPump < SearchPumpInterval) return;
    ProcessMessages();
    // Timed from the end of the pump: a slow repaint must not make the next one due at once.
    LastSearchPump = SearchTick();
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Cancel poll

// The coarse clock costs a fifth of the fine one, and its few milliseconds of resolution are a small
// part of every interval a search measures with it.
std::chrono::steady_clock::time_point SearchTick() {
#if defined(CLOCK_MONOTONIC_COARSE)
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC_COARSE, &now) == 0)
        return std::chrono::steady_clock::time_point(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
#endif
    return std::chrono::steady_clock::now();
}

void CheckSearchCancel(TDoubleProgressForm* ProgressWindow, bool& Cancelled) {
    if (ProgressWindow == nullptr) return;
    if (++SearchCancelCalls >= 16) {
        SearchCancelCalls = 0;
        ServiceSearchWindow();
    }
    // A search stopped for another reason (maximum hits, a range callback) stays stopped.
    Cancelled = Cancelled || ProgressWindow->Tag == 1;
}

void ResetSearchCancelCounter() {
    SearchCancelCalls = 0;
    LastSearchPump = SearchTick();
}

// ---------------------------------------------------------------------------------------------------
// Terms

TTerm::TTerm(int32_t Language, TTermKind Kind, std::string Text,
             std::shared_ptr<const TRegExpCharTables> Tables)
    : Language(Language), Kind(Kind), Text(std::move(Text)) {
    if (Kind != tkRegExp) return;
    if (!Tables) Tables = RegExpCharTables(Language);
    RegExp = std::make_unique<TRegExp>(this->Text, RegExpSyntaxExtended, Language, std::move(Tables));
}

TTerm::~TTerm() = default;

// ---------------------------------------------------------------------------------------------------
// Construction

// The state of one attempt of the term-sequence matcher.
struct TSearchContext::TAttempt {
    bool First = true;       // no token of the attempt has been read yet
    int32_t Resume = 0;      // where the next attempt starts
    bool LastEmpty = false;  // the last token read was empty: the range is exhausted
};

TSearchContext::TSearchContext(int32_t Language, const std::string& Pattern, uint8_t Syntax,
                               const TCharSet& SkipSet, bool MatchCase)
    : Language(Language), Syntax(Syntax), SkipSet(SkipSet), MatchCase(MatchCase) {
    CopyOptions();
    BuildDelimiterSet();
    BuildCharMaps();
    ParsePattern(Pattern);
    for (size_t b = 0; b < 256; ++b) FSearchMap[b] = FMapped[FFold[b]];
    // The scan looks at single bytes and would take a trail byte for a delimiter.
    FScanFirst = Syntax == 0 && FWordTag == 0 && !Terms.empty() && Terms[0]->Kind == tkWord &&
                 Terms[0]->Plain && FMapExact && !FAnySkip &&
                 !(FDoubleByte && platform::CodePageTables(LangCodePage(Language)).DoubleByte);
    PlanJump();
}

TSearchContext::~TSearchContext() = default;

void TSearchContext::CopyOptions() {
    if (!CommonConfig) throw std::logic_error("The options object does not exist.");
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) {
        throw std::out_of_range("No configuration for language " + std::to_string(Language) + ".");
    }
    const TCommonConcordConfig& options = *CommonConfig;
    FWildMany = options.WildCard0orMore;
    FWildOne = options.WildCard0or1;
    FWildExactly = options.WildCardExactly1;
    FWildWords = options.WildCardMatchWords;
    FTagSeparator = options.TagSearchSeparator;
    FWordsLo = options.MatchWordsLo;
    FWordsHi = options.MatchWordsHi;
    FWordTag = options.WordTag;
    FTagBefore = options.wTagBefore;
    FPOSTagStarts = options.wTagStarts;
    FPOSTagStop = options.wTagStop;

    const TConcordConfig& config = *LanguageConfigs[static_cast<size_t>(Language)];
    FLower = config.LowerCaseMap;
    for (size_t b = 0; b < FFold.size(); ++b) FFold[b] = MatchCase ? static_cast<uint8_t>(b) : FLower[b];
    FDoubleByte = config.NoCaseMap;
    if (FDoubleByte) FLeadBytes = &platform::CodePageTables(LangCodePage(Language)).LeadByte;
}

void TSearchContext::BuildDelimiterSet() {
    DelimiterSet.reset();
    for (int c = 0; c <= 32; ++c) DelimiterSet.set(static_cast<size_t>(c));
    for (char c : LanguageConfigs[static_cast<size_t>(Language)]->NonWordChars) DelimiterSet.set(Byte(c));
    for (char c : {FWildMany, FWildOne, FWildExactly}) DelimiterSet.set(Byte(c));
    DelimiterSet &= ~SkipSet;
    for (size_t b = 0; b < 256; ++b) {
        FDelimiter[b] = DelimiterSet[b];
        FSkip[b] = SkipSet[b];
    }
    FDelimiterRows = TByteRows(FDelimiter);
    FAnySkip = SkipSet.any();
}

// The equal-character relation as one row of bytes per byte and, when it is an equivalence (groups
// that do not overlap), one byte per byte that turns a plain word into a byte comparison.
void TSearchContext::BuildCharMaps() {
    for (size_t b = 0; b < 256; ++b) {
        FMapped[b] = static_cast<uint8_t>(b);
        FEqual[b].reset();
        FEqual[b].set(b);
    }
    FMapExact = true;
    if (!CommonConfig->UseSkipEqualChars) return;
    for (const TCharSet& group : LanguageConfigs[static_cast<size_t>(Language)]->EqualCharGroups) {
        for (size_t b = 0; b < 256; ++b) {
            if (group[b]) FEqual[b] |= group;
        }
    }
    for (size_t b = 0; b < 256; ++b) {
        size_t lowest = 0;
        while (!FEqual[b][lowest]) ++lowest;
        FMapped[b] = static_cast<uint8_t>(lowest);
    }
    for (size_t a = 0; a < 256 && FMapExact; ++a) {
        for (size_t b = 0; b < 256; ++b) {
            if (FEqual[a][b] != (FMapped[a] == FMapped[b])) {
                FMapExact = false;
                break;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// Pattern compilation

std::string TSearchContext::NextPatternToken(const std::string& Pattern, size_t& At) const {
    const size_t size = Pattern.size();
    while (At < size && IsBlankOrTab(Pattern[At])) ++At;
    if (At >= size || Pattern[At] == 0) return {};
    std::string token;
    if (Pattern[At] == FWildWords) {
        token.assign(1, FWildWords);
        ++At;
        if (At < size && Pattern[At] == FWildWords) token += FWildWords;
        while (At < size && Pattern[At] == FWildWords) ++At;
    } else {
        const size_t from = At;
        while (At < size && Pattern[At] != 0 && !IsBlankOrTab(Pattern[At]) && Pattern[At] != FWildWords)
            At += IsLeadByte(Pattern[At]) && At + 1 < size && Pattern[At + 1] != 0 ? 2 : 1;
        token = Pattern.substr(from, At - from);
    }
    while (At < size && IsBlankOrTab(Pattern[At])) ++At;
    return token;
}

void TSearchContext::ParsePattern(const std::string& Pattern) {
    if (Syntax == 1) {
        // The query's own case rule, and the language's configuration as it is now: each language of a
        // parallel search folds as its own query says, whichever language's tables were built last.
        Terms.push_back(std::make_unique<TTerm>(Language, tkRegExp, Pattern,
                                                QueryRegExpCharTables(Language, !MatchCase)));
        return;
    }
    size_t at = 0;
    for (std::string token = NextPatternToken(Pattern, at); !token.empty();
         token = NextPatternToken(Pattern, at)) {
        if (token[0] == FWildWords) {
            AddTerm(token.size() == 1 ? tkSkip : tkSkipAny, {});
            continue;
        }
        for (char& c : token) c = static_cast<char>(FFold[Byte(c)]);
        if (Syntax != 2) {
            AddTerm(tkWord, token);
            continue;
        }
        const std::string any(1, FWildMany);
        const size_t separator = token.find(FTagSeparator);
        if (separator == std::string::npos) {
            if (token == std::string(2, FWildMany)) {
                AddWordTagTerms(any, {});
            } else {
                AddWordTagTerms(token, any);
            }
            continue;
        }
        std::string word = token.substr(0, separator);
        std::string tag = token.substr(separator + 1);
        AddWordTagTerms(word.empty() ? any : word, tag.empty() ? any : tag);
    }
}

void TSearchContext::AddWordTagTerms(const std::string& WordPart, const std::string& TagPart) {
    const bool wild =
        TagPart.find_first_of(std::string{FWildMany, FWildOne, FWildExactly}) != std::string::npos;
    const TTermKind tagKind = !wild && IsMetaTagName(TagPart) ? tkMetaTag : tkTag;
    // The terms stand in the order of word and tag in the corpus.
    if (FWordTag == 1 || !FTagBefore) {
        AddTerm(tkWord, WordPart);
        AddTerm(tagKind, TagPart);
    } else {
        AddTerm(tagKind, TagPart);
        AddTerm(tkWord, WordPart);
    }
}

void TSearchContext::AddTerm(TTermKind Kind, std::string Text) {
    auto term = std::make_unique<TTerm>(Language, Kind, std::move(Text));
    if (Kind == tkWord || Kind == tkTag) {
        const std::string& text = term->Text;
        term->Plain = text.find_first_of(std::string{FWildMany, FWildOne, FWildExactly}) == std::string::npos;
        term->Mapped = text;
        for (char& c : term->Mapped) c = static_cast<char>(FMapped[Byte(c)]);
    }
    Terms.push_back(std::move(term));
}

// ---------------------------------------------------------------------------------------------------
// Meta tags

bool TSearchContext::IsMetaTagName(const std::string& Name) const {
    if (Name.empty()) return false;
    for (const auto& entry : CommonConfig->MetaTags) {
        const std::string& candidate = entry.Name;
        if (candidate.size() != Name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < Name.size() && same; ++i) {
            same = FLower[Byte(candidate[i])] == FLower[Byte(Name[i])];
        }
        if (same) return true;
    }
    return false;
}

// The members are looked up once per SearchRange call, so that a meta tag removed from the options is
// noticed by the next search without a lookup per word.
const std::vector<std::string>& TSearchContext::MetaTagMembers(TTerm& Term) {
    if (Term.MembersCall == FCall) return Term.Members;
    const std::vector<std::string>* members = nullptr;
    for (const auto& entry : CommonConfig->MetaTags) {
        if (entry.Name.size() != Term.Text.size()) continue;
        bool same = true;
        for (size_t i = 0; i < Term.Text.size() && same; ++i) {
            same = FLower[Byte(entry.Name[i])] == FLower[Byte(Term.Text[i])];
        }
        if (same) {
            members = &entry.Object;
            break;
        }
    }
    if (members == nullptr) throw EConcError(UnknownMetaTagText + Term.Text);
    Term.Members.resize(members->size());
    for (size_t i = 0; i < members->size(); ++i) {
        Term.Members[i] = (*members)[i];
        for (char& c : Term.Members[i]) c = static_cast<char>(FFold[Byte(c)]);
    }
    Term.MembersCall = FCall;
    return Term.Members;
}

// ---------------------------------------------------------------------------------------------------
// Reading words

std::string_view TSearchContext::ReadNextWord() {
    return FWordTag == 0 ? ReadRawWord() : ReadTaggedToken();
}

// Outside a tag only the tag-start byte can open one, so the byte loops compare against it and ask the
// reader's classification only there; a "<" that opens no tag stays what it is without tags.
bool TSearchContext::TagOpensAt(int32_t Position) {
    TBufStream& reader = *Reader;
    const int32_t cursor = reader.GetPosition();
    reader.SetPosition(Position);
    reader.ResetTagState();
    TCharType type = ctNone;
    reader.NextChar(type);
    reader.SetPosition(cursor);
    reader.ResetTagState();
    return type == ctTag;
}

void TSearchContext::PassTag() {
    TBufStream& reader = *Reader;
    reader.ResetTagState();
    TCharType type = ctNone;
    if (reader.NextChar(type) == 0) return;
    while (reader.InTag() && reader.NextChar(type) != 0) {
    }
    reader.ResetTagState();
}

std::string_view TSearchContext::ReadRawWord() {
    TBufStream& reader = *Reader;
    const char tagStart = reader.Tags().TagStart;
    char c;
    while (true) {
        c = reader.ReadByte();
        if (c == 0) break;
        // Tags are markup, not words, just as the frequency list reads them.
        if (c == tagStart && TagOpensAt(reader.GetPosition() - 1)) {
            reader.SetPosition(reader.GetPosition() - 1);
            PassTag();
            continue;
        }
        if (!FDelimiter[Byte(c)]) break;
    }
    // Gathered in a local array: stores through a char pointer into the context could alias the
    // reader's fields and keep its cursor out of a register.
    char word[WordSize];
    size_t length = 0;
    bool tagFollows = false;
    while (c != 0 && !FDelimiter[Byte(c)]) {
        // A tag ends the word but is left for the next read, so that no read starts inside a tag.
        if (c == tagStart && TagOpensAt(reader.GetPosition() - 1)) {
            reader.SetPosition(reader.GetPosition() - 1);
            tagFollows = true;
            break;
        }
        if (length < static_cast<size_t>(WordSize)) word[length++] = static_cast<char>(FFold[Byte(c)]);
        // A trail byte belongs to its character, whatever it would mean on its own ("[", "\\", "]"...).
        if (IsLeadByte(c)) {
            c = reader.ReadByte();
            if (c == 0) break;
            if (length < static_cast<size_t>(WordSize)) word[length++] = static_cast<char>(FFold[Byte(c)]);
        }
        c = reader.ReadByte();
    }
    if (c != 0 && !tagFollows && c == tagStart && TagOpensAt(reader.GetPosition() - 1)) {
        reader.SetPosition(reader.GetPosition() - 1);
        tagFollows = true;
    }
    FDelimiterRead = c != 0 && !tagFollows;
    std::memcpy(FWord, word, length);
    FWord[length] = 0;
    FWordLength = length;
    return {FWord, length};
}

// A word tag with nothing in it is passed over: a separator ended at once by a blank or a line break
// ("x_ y"), or a start string closed at once ("x[]"). It names nothing a query could ask for, and an
// empty token would read as the end of the range.
std::string_view TSearchContext::ReadTaggedToken() {
    FDelimiterRead = false;
    while (true) {
        const int32_t length = ReadTaggedTokenText();
        if (length < 0) return {};
        if (length > 0 || LastTokenType != ctPOSTag) return {FWord, static_cast<size_t>(length)};
    }
}

// The next token's text, prepared as ReadTaggedToken returns it; its length, -1 at the end of the range.
int32_t TSearchContext::ReadTaggedTokenText() {
    TBufStream& reader = *Reader;
    TCharType type = ctNone;
    char c;
    do {
        c = reader.NextChar(type);
    } while (c != 0 && type != ctWord && type != ctPOSTag);
    if (c == 0) {
        FWord[0] = 0;
        FWordLength = 0;
        return -1;
    }
    FTokenStart = reader.GetPosition() - 1;
    const TCharType kind = type;
    LastTokenType = kind;
    size_t length = 0;
    size_t total = 0;
    while (c != 0 && type == kind) {
        if (length < static_cast<size_t>(WordSize)) FWord[length++] = c;
        ++total;
        c = reader.NextChar(type);
    }
    // The byte that ended the token starts the next read, classified afresh.
    if (c != 0) {
        reader.SetPosition(reader.GetPosition() - 1);
        reader.ResetTagState();
    }
    size_t from = 0;
    if (kind == ctPOSTag) {
        if (FWordTag == 1) {
            from = 1;
        } else {
            for (const std::string& start : FPOSTagStarts) {
                if (!start.empty() && start.size() <= length &&
                    std::memcmp(FWord, start.data(), start.size()) == 0) {
                    from = start.size();
                    break;
                }
            }
            const char last = FWord[length - 1];
            const bool closed = FPOSTagStop == '#' ? (last == ' ' || IsLineBreak(last)) : last == FPOSTagStop;
            if (total == length && length > from && closed) --length;
        }
        from = std::min(from, length);
        std::memmove(FWord, FWord + from, length - from);
        length -= from;
    }
    for (size_t i = 0; i < length; ++i) FWord[i] = static_cast<char>(FFold[Byte(FWord[i])]);
    FWord[length] = 0;
    FWordLength = length;
    return static_cast<int32_t>(length);
}

// ---------------------------------------------------------------------------------------------------
// Wildcard matching

bool TSearchContext::WildcardMatch(std::string_view Word, std::string_view Pattern) const {
    return WildcardMatchAt(Word.data(), Word.size(), Pattern.data(), Pattern.size());
}

// In a double-byte code page a lead byte and the byte after it are one character: the wildcards take it
// whole, and it equals only the same two bytes, so that a pattern never starts or stops inside one.
bool TSearchContext::WildcardMatchAt(const char* W, size_t WLength, const char* P, size_t PLength) const {
    size_t i = 0;
    size_t j = 0;
    while (i < WLength && j < PLength) {
        while (i < WLength && FSkip[Byte(W[i])] && !IsLeadByte(W[i])) ++i;
        if (i >= WLength) break;
        const size_t wordChar = CharLength(W, i, WLength);
        const size_t patternChar = CharLength(P, j, PLength);
        const char p = P[j];
        if (patternChar == 1 && p == FWildMany) {
            ++j;
            if (j >= PLength) return true;
            for (size_t k = i; k < WLength; k += CharLength(W, k, WLength)) {
                if (WildcardMatchAt(W + k, WLength - k, P + j, PLength - j)) return true;
            }
            return false;
        }
        if (patternChar == 1 && p == FWildOne) {
            ++j;
            if (j >= PLength) return WLength - i == wordChar;
            if (WildcardMatchAt(W + i, WLength - i, P + j, PLength - j)) return true;
            return i + wordChar < WLength &&
                   WildcardMatchAt(W + i + wordChar, WLength - i - wordChar, P + j, PLength - j);
        }
        if (patternChar == 1 && p == FWildExactly) {
            i += wordChar;
            ++j;
            continue;
        }
        if (patternChar != wordChar) return false;
        if (wordChar == 1 ? !Equal(Byte(W[i]), Byte(p)) : W[i] != p || W[i + 1] != P[j + 1]) return false;
        i += wordChar;
        j += patternChar;
    }
    if (j < PLength) {
        for (; j < PLength; ++j) {
            if (P[j] != FWildMany && P[j] != FWildOne) return false;
        }
        return true;
    }
    while (i < WLength && FSkip[Byte(W[i])] && !IsLeadByte(W[i])) ++i;
    return i >= WLength;
}

bool TSearchContext::MatchWordTerm(const TTerm& Term, std::string_view Word) const {
    if (Term.Plain && FMapExact && !FAnySkip) {
        const size_t size = Word.size();
        if (size != Term.Mapped.size()) return false;
        const char* mapped = Term.Mapped.data();
        for (size_t i = 0; i < size; ++i) {
            if (FMapped[Byte(Word[i])] != Byte(mapped[i])) return false;
        }
        return true;
    }
    return WildcardMatch(Word, Term.Text);
}

bool TSearchContext::MatchTerm(TTerm& Term, std::string_view Token) {
    if (Term.Kind != tkMetaTag) return MatchWordTerm(Term, Token);
    for (const std::string& member : MetaTagMembers(Term)) {
        if (WildcardMatch(Token, member)) return true;
    }
    return false;
}

bool TSearchContext::TagAcceptsUntagged(const TTerm& Term) const {
    return Term.Kind == tkTag && (Term.Text.empty() || (Term.Text.size() == 1 && Term.Text[0] == FWildMany));
}

// ---------------------------------------------------------------------------------------------------
// Term sequences

std::string_view TSearchContext::ReadToken(TAttempt& A) {
    const std::string_view token = ReadNextWord();
    A.LastEmpty = token.empty();
    if (A.First) {
        A.First = false;
        A.Resume = Reader->GetPosition();
    }
    return token;
}

// The next word token: word tags before it are passed over (with word tags, a word's own tag is no
// word of the sequence).
std::string_view TSearchContext::ReadWordToken(TAttempt& A) {
    std::string_view token = ReadNextWord();
    while (FWordTag != 0 && !token.empty() && LastTokenType != ctWord) token = ReadNextWord();
    A.LastEmpty = token.empty();
    if (A.First) {
        A.First = false;
        A.Resume = Reader->GetPosition();
    }
    return token;
}

int32_t TSearchContext::FirstWordByte(TBufStream& R, int32_t From) {
    TBufStream* const searched = Reader;
    Reader = &R;
    R.SetPosition(From);
    R.ResetTagState();
    const char tagStart = R.Tags().TagStart;
    int32_t at = -1;
    while (true) {
        const int32_t position = R.GetPosition();
        const char c = R.ReadByte();
        if (c == 0) break;
        if (c == tagStart && TagOpensAt(position)) {
            R.SetPosition(position);
            PassTag();
            continue;
        }
        if (!FDelimiter[Byte(c)]) {
            at = position;
            break;
        }
    }
    Reader = searched;
    return at;
}

int32_t TSearchContext::FirstTaggedWordByte(TBufStream& R, int32_t From) {
    TBufStream* const searched = Reader;
    Reader = &R;
    R.SetPosition(From);
    R.ResetTagState();
    const bool tagBefore = Syntax == 2 && FWordTag == 2 && FTagBefore;
    int32_t tag = -1;
    int32_t at = -1;
    while (!ReadTaggedToken().empty()) {
        if (LastTokenType == ctWord) {
            at = tagBefore && tag >= 0 ? tag : FTokenStart;
            break;
        }
        tag = FTokenStart;
    }
    Reader = searched;
    return at;
}

TSearchContext::TMark TSearchContext::Mark() const {
    return {Reader->GetPosition(), FDelimiterRead};
}

void TSearchContext::GiveBack(const TMark& M) {
    Reader->SetPosition(M.Position);
    Reader->ResetTagState();
    FDelimiterRead = M.DelimiterRead;
}

bool TSearchContext::PollCancel() {
    if (Owner == nullptr) return false;
    if (Owner->StopRequested.load(std::memory_order_relaxed)) Owner->Cancelled = true;
    CheckSearchCancel(Owner->ProgressWindow, Owner->Cancelled);
    return Owner->Cancelled;
}

bool TSearchContext::MatchTermsFrom(size_t Index, TAttempt& A) {
    if (PollCancel() || Index >= Terms.size()) return false;
    TTerm& term = *Terms[Index];
    switch (term.Kind) {
        case tkWord:
        case tkTag:
        case tkMetaTag: {
            if (Syntax == 2) return MatchWordTagPair(Index, A);
            const std::string_view token = ReadWordToken(A);
            if (token.empty()) return false;
            if (!MatchTerm(term, token)) return false;
            return Index + 1 >= Terms.size() || MatchTermsFrom(Index + 1, A);
        }
        case tkRegExp:
            throw EConcError(MisplacedCaseText);
        case tkSkip:
            return MatchSkip(Index, A);
        case tkSkipAny:
            return MatchSkipAny(Index, A);
    }
    return false;
}

// A word term and its tag term, in corpus order. The token after a word is read to see whether it is
// the word's tag; a token that is not is given back. When the first pair of an attempt fails after
// reading the tag, the next attempt starts after that tag. A word tag that belongs to no word (a tagger's
// ",_," or "[,]," after punctuation, which is no word) is passed over as the text syntax passes over
// word tags, so that tags never hide a match that the same text without them has.
bool TSearchContext::MatchWordTagPair(size_t Index, TAttempt& A) {
    if (Index + 1 >= Terms.size()) return false;
    const bool matched =
        Terms[Index]->Kind == tkWord ? MatchWordThenTag(Index, A) : MatchTagThenWord(Index, A);
    if (!matched) return false;
    return Index + 2 >= Terms.size() || MatchTermsFrom(Index + 2, A);
}

bool TSearchContext::MatchWordThenTag(size_t Index, TAttempt& A) {
    const bool firstPair = A.First;
    const std::string_view token = ReadWordToken(A);
    if (token.empty()) return false;
    const bool wordMatched = MatchTerm(*Terms[Index], token);
    const TMark mark = Mark();
    const std::string_view tag = ReadToken(A);
    if (tag.empty() || LastTokenType != ctPOSTag) {
        GiveBack(mark);
        return wordMatched && TagAcceptsUntagged(*Terms[Index + 1]);
    }
    const bool matched = wordMatched && MatchTerm(*Terms[Index + 1], tag);
    if (!matched && firstPair) A.Resume = Reader->GetPosition();
    return matched;
}

// A tag before its word: a tag that another tag follows belongs to no word.
bool TSearchContext::MatchTagThenWord(size_t Index, TAttempt& A) {
    TTerm& tagTerm = *Terms[Index];
    TTerm& wordTerm = *Terms[Index + 1];
    const bool firstPair = A.First;
    const std::string_view token = ReadToken(A);
    if (token.empty()) return false;
    if (LastTokenType != ctPOSTag) return TagAcceptsUntagged(tagTerm) && MatchTerm(wordTerm, token);
    bool tagMatched = MatchTerm(tagTerm, token);
    while (true) {
        const TMark mark = Mark();
        const std::string_view next = ReadToken(A);
        if (next.empty()) {
            GiveBack(mark);
            return false;
        }
        if (LastTokenType == ctPOSTag) {
            tagMatched = MatchTerm(tagTerm, next);
            continue;
        }
        const bool matched = tagMatched && MatchTerm(wordTerm, next);
        if (!matched && firstPair) A.Resume = Reader->GetPosition();
        return matched;
    }
}

// A skipped word is one word token, with the word tag that belongs to it when there is one: its tags
// are passed over in the text syntax and read with it in the tag syntax.
bool TSearchContext::SkipWord(TAttempt& A) {
    if (ReadWordToken(A).empty()) return false;
    if (Syntax != 2 || FWordTag == 0 || (FWordTag == 2 && FTagBefore)) return true;
    const TMark mark = Mark();
    const std::string_view tag = ReadNextWord();
    if (tag.empty() || LastTokenType != ctPOSTag) GiveBack(mark);
    return true;
}

bool TSearchContext::MatchSkip(size_t Index, TAttempt& A) {
    for (int w = 0; w < FWordsLo; ++w) {
        if (!SkipWord(A)) return false;
    }
    if (Index + 1 >= Terms.size()) return true;
    for (int words = FWordsLo;; ++words) {
        const TMark mark = Mark();
        if (MatchTermsFrom(Index + 1, A)) return true;
        if (Owner != nullptr && Owner->Cancelled) return false;
        if (words >= FWordsHi) return false;
        GiveBack(mark);
        if (!SkipWord(A)) return false;
    }
}

bool TSearchContext::MatchSkipAny(size_t Index, TAttempt& A) {
    if (Index + 1 >= Terms.size()) return true;
    while (true) {
        const TMark mark = Mark();
        if (MatchTermsFrom(Index + 1, A)) return true;
        if (Owner != nullptr && Owner->Cancelled) return false;
        GiveBack(mark);
        if (ReadToken(A).empty()) return false;
    }
}

// ---------------------------------------------------------------------------------------------------
// Searching a range

bool TSearchContext::SearchRange(TBufStream& R, bool ShowProgress) {
    Reader = &R;
    MatchStart = R.GetPosition();
    ++FCall;
    if (PollCancel()) return false;
    if (Syntax == 1) return SearchRegExp(ShowProgress);
    return SearchWords(ShowProgress);
}

bool TSearchContext::SearchWords(bool ShowProgress) {
    TAttempt attempt;
    attempt.Resume = MatchStart;
    if (Owner != nullptr) ++Owner->WordsScanned;
    if (FScanFirst && NoCandidateAhead()) {
        // As the scan would end, having passed over every word of the range.
        const int32_t end = Reader->RangeEnd();
        if (Owner != nullptr && Owner->ProgressWindow != nullptr) {
            const std::string_view rest = Reader->Window();
            Owner->WordsScanned += static_cast<int32_t>(CountWordStarts(
                reinterpret_cast<const uint8_t*>(rest.data()), 0, rest.size(), FDelimiter, FDelimiterRows));
            if (ShowProgress) Owner->UpdateProgress(end, false);
        }
        Reader->SetPosition(end);
        return false;
    }
    while (true) {
        if (FScanFirst && !SkipToCandidate(ShowProgress)) return false;
        attempt.First = true;
        attempt.LastEmpty = false;
        const bool matched = MatchTermsFrom(0, attempt);
        // A pattern of skips alone matches without reading a word: that is no match, and trying again
        // would never move on.
        if (attempt.First) return false;
        if (matched) break;
        if (PollCancel() || attempt.LastEmpty) return false;
        Reader->SetPosition(attempt.Resume);
        Reader->ResetTagState();
        MatchStart = attempt.Resume;
        if (Owner != nullptr) {
            ++Owner->WordsScanned;
            if (ShowProgress) Owner->UpdateProgress(attempt.Resume, false);
        }
    }
    if (Owner != nullptr && Owner->Cancelled) return false;
    MatchEnd = Reader->GetPosition();
    MatchEndAfterDelimiter = FDelimiterRead;
    if (ShowProgress && Owner != nullptr) Owner->UpdateProgress(MatchEnd, false);
    return true;
}

void TSearchContext::ForgetFile() {
    FTagScanSource = nullptr;
    FClearSource = nullptr;
}

bool TSearchContext::ClearStretch(const TSynchroStream& Source, TClearStretch& Stretch) const {
    if (!FScanFirst) return false;
    Stretch = TClearStretch();
    Stretch.Length = static_cast<int32_t>(Terms[0]->Mapped.size());
    if (FClearSource == &Source) {
        Stretch.From = FClearFrom;
        Stretch.To = FClearTo;
    }
    return true;
}

// A range that lies in the reader's window is passed over when the first term's bytes start nowhere
// in it; what the window shows beyond the range is remembered for the ranges that follow.
bool TSearchContext::NoCandidateAhead() {
    const int32_t start = Reader->GetPosition();
    const int32_t end = Reader->RangeEnd();
    const auto length = static_cast<int32_t>(Terms[0]->Mapped.size());
    if (start < 0 || end - start < length) return start >= 0;
    const int32_t last = end - length;  // the last start of a word of the range as long as the term
    const TSynchroStream* source = &Reader->Source();
    const bool known = FClearSource == source && start >= FClearFrom && start <= FClearTo;
    if (known && last < FClearTo) return true;
    const std::string_view ahead = Reader->WindowAhead();
    if (static_cast<int64_t>(start) + static_cast<int64_t>(ahead.size()) < end) return false;
    return static_cast<size_t>(last - start) < ClearAhead(start, ahead);
}

size_t TSearchContext::ClearAhead(int32_t Base, std::string_view Ahead) {
    const size_t length = Terms[0]->Mapped.size();
    const TSynchroStream* source = &Reader->Source();
    const bool known = FClearSource == source && Base >= FClearFrom && Base <= FClearTo;
    const size_t from = known ? static_cast<size_t>(FClearTo - Base) : 0;
    // Past the window's last start of a word as long as the term there is nothing more to learn.
    if (from + length > Ahead.size()) return from;
    const size_t at = FirstOccurrence(reinterpret_cast<const uint8_t*>(Ahead.data()), from, Ahead.size());
    if (!known) {
        FClearSource = source;
        FClearFrom = Base;
    }
    FClearTo = Base + static_cast<int32_t>(at);
    return at;
}

// The file offset of the first tag that opens in Window (which starts at Base), or -1. A scan asks again
// for each candidate, a few words on: what it learnt of the window is kept, so that each byte is looked
// at once.
int32_t TSearchContext::NextTagBefore(int32_t Base, std::string_view Window) {
    const auto end = Base + static_cast<int32_t>(Window.size());
    const TSynchroStream* source = &Reader->Source();
    if (FTagScanSource != source || Base < FTagScanFrom || Base > FTagScanTo) {
        FTagScanSource = source;
        FTagScanFrom = FTagScanTo = Base;
        FTagScanFound = false;
    }
    const char tagStart = Reader->Tags().TagStart;
    for (size_t k = static_cast<size_t>(FTagScanTo - Base); !FTagScanFound && k < Window.size(); ++k) {
        const void* found = std::memchr(Window.data() + k, tagStart, Window.size() - k);
        if (found == nullptr) break;
        k = static_cast<size_t>(static_cast<const char*>(found) - Window.data());
        if (TagOpensAt(Base + static_cast<int32_t>(k))) {
            FTagScanTo = Base + static_cast<int32_t>(k);
            FTagScanFound = true;
        }
    }
    if (!FTagScanFound) FTagScanTo = std::max(FTagScanTo, end);
    return FTagScanFound && FTagScanTo < end ? FTagScanTo : -1;
}

// Moves the reader and MatchStart to the start of the next attempt whose first word matches the first
// term, counting the attempts passed over as failed ones. False at the range's end or on cancel. A tag
// ends a word as a delimiter does: the scan stops before each tag that opens and passes it through the
// reader, unless the term's bytes stand nowhere before it (PassClearTags).
bool TSearchContext::SkipToCandidate(bool ShowProgress) {
    TBufStream& reader = *Reader;
    const auto* want = reinterpret_cast<const uint8_t*>(Terms[0]->Mapped.data());
    const size_t wantLength = Terms[0]->Mapped.size();
    const char tagStart = reader.Tags().TagStart;
    int32_t attemptStart = reader.GetPosition();
    bool inWord = false;
    bool same = true;
    size_t length = 0;
    auto candidate = [&] {
        reader.SetPosition(attemptStart);
        reader.ResetTagState();
        MatchStart = attemptStart;
        return true;
    };
    // A word passed over: the next attempt starts at NextStart.
    auto passed = [&](int32_t NextStart) {
        attemptStart = NextStart;
        if (Owner == nullptr) return true;
        ++Owner->WordsScanned;
        if (Owner->ProgressWindow == nullptr) {
            if (Owner->StopRequested.load(std::memory_order_relaxed)) Owner->Cancelled = true;
            return !Owner->Cancelled;
        }
        // The scan passes millions of words a second: the window hears of every eighth, which still
        // polls many times a millisecond. A match is still polled for before it is tried.
        if ((++FPassedWords & 7u) != 0) return !Owner->Cancelled;
        if (ShowProgress) Owner->UpdateProgress(attemptStart, false);
        return !PollCancel();
    };
    // Many words passed over at once by the jump; only a progress window shows how many.
    const bool countWords = Owner != nullptr && Owner->ProgressWindow != nullptr;
    const bool passTags =
        FJump.Usable && tagStart != 0 && reader.Tags().WordTagMode == 0 && KnowTagEnds(reader);
    auto jumped = [&](int32_t NextStart, size_t Words) {
        // passed counts the last of them.
        if (Owner != nullptr && Words > 1) Owner->WordsScanned += static_cast<int32_t>(Words - 1);
        return passed(NextStart);
    };
    while (true) {
        const std::string_view window = reader.Window();
        const int32_t base = reader.GetPosition();
        if (window.empty()) return inWord && same && length == wantLength && candidate();
        const auto* bytes = reinterpret_cast<const uint8_t*>(window.data());
        size_t count = window.size();
        bool tagAtEnd = false;
        if (tagStart != 0) {
            const int32_t next = NextTagBefore(base, window);
            if (next >= 0) {
                count = static_cast<size_t>(next - base);
                tagAtEnd = true;
                if (!inWord && passTags) {
                    const std::string_view ahead = reader.WindowAhead();
                    const size_t clear = ClearAhead(base, ahead);
                    const TTagRun run = countWords || !FTagEndIsBoundary
                                            ? PassClearTags(ahead, window.size(), count, clear, countWords)
                                            : PassClearTagsBack(ahead, window.size(), clear);
                    if (run.To > 0) {
                        if (run.Word && !jumped(base + static_cast<int32_t>(run.NextStart), run.Words))
                            return false;
                        reader.SetPosition(base + static_cast<int32_t>(run.To));
                        continue;
                    }
                }
            }
        }
        size_t i = 0;
        while (i < count) {
            if (!inWord) {
                if (FJump.Usable) {
                    const TJump jump = JumpToCandidate(bytes, i, count, countWords);
                    i = jump.To;
                    if (jump.LastWordEnd &&
                        !jumped(base + static_cast<int32_t>(jump.LastWord) + 2, jump.Words))
                        return false;
                }
                while (i < count && FDelimiter[bytes[i]]) ++i;
                if (i == count) break;
                inWord = true;
                same = true;
                length = 0;
            }
            for (; i < count && same && !FDelimiter[bytes[i]]; ++i) {
                if (length < static_cast<size_t>(WordSize)) {
                    same = length < wantLength && FSearchMap[bytes[i]] == want[length];
                    ++length;
                }
            }
            // Most words differ at once: the rest of them is passed over without comparing.
            while (i < count && !FDelimiter[bytes[i]]) ++i;
            if (i == count) break;
            inWord = false;
            if (same && length == wantLength) return candidate();
            ++i;
            if (!passed(base + static_cast<int32_t>(i))) return false;
        }
        const int32_t stop = base + static_cast<int32_t>(count);
        reader.SetPosition(stop);
        if (!tagAtEnd) continue;
        if (inWord) {
            inWord = false;
            if (same && length == wantLength) return candidate();
            if (!passed(stop)) return false;
        }
        PassTag();
    }
}

// ---------------------------------------------------------------------------------------------------
// Regular expressions over the buffer

int32_t TSearchContext::FileOffsetOf(int32_t Index) const {
    return FBase + Index + FOffsets[static_cast<size_t>(Index)];
}

bool TSearchContext::StartRegExpBuffer(int32_t Start) {
    if (FChars.empty()) {
        FChars.resize(RegExpBufferSize + 1);
        FOffsets.resize(RegExpBufferSize + 1);
        FByteKinds.resize(RegExpBufferSize + 1);
    }
    if (!FPlainReady) {
        for (int c = 0; c < 256; ++c)
            FPlain[static_cast<size_t>(c)] = c != 0 && !IsLineBreak(static_cast<char>(c)) &&
                                             !FSkip[static_cast<size_t>(c)] &&
                                             !(FDoubleByte && (*FLeadBytes)[static_cast<size_t>(c)]);
        FPlainReady = true;
    }
    FBase = Start;
    FCount = 0;
    FStartIndex = 0;
    // The byte before the search start lets anchors and word boundaries at the start see it.
    if (Start > Reader->RangeStart()) {
        Reader->SetPosition(Start - 1);
        FChars[0] = Reader->ReadByte();
        FBase = Start - 1;
        FOffsets[0] = 0;
        FByteKinds[0] = 2;
        FCount = 1;
        FStartIndex = 1;
    }
    Reader->SetPosition(Start);
    return FillRegExpBuffer() && FCount > FStartIndex;
}

// After a match the buffer from the byte before the match's end on is what a fresh fill from there
// would store, so the search goes on in it: while the match's end lies in the buffer's first half the
// buffer stays as it is (sliding it for every match moved the whole buffer once per hit), and beyond
// that its rest moves to the front and the freed part is filled.
bool TSearchContext::ReuseRegExpBuffer(int32_t Start) {
    const int32_t index = FBufferEndIndex;
    if (FBufferReader != Reader || FBufferMatchEnd != Start || index < 1 || index >= FCount ||
        FBufferRangeStart != Reader->RangeStart() || FBufferRangeEnd != Reader->RangeEnd() ||
        Start <= Reader->RangeStart()) {
        return false;
    }
    if (FileOffsetOf(index) != Start || FileOffsetOf(index - 1) != Start - 1) return false;
    if (FDoubleByte && FByteKinds[static_cast<size_t>(index)] == 2) return false;
    Reader->SetPosition(Start - 1);
    if (Reader->ReadByte() != FChars[static_cast<size_t>(index - 1)]) return false;
    if (index <= RegExpSlide) {
        FStartIndex = index;
        Reader->SetPosition(FFillEnd);
        return true;
    }
    SlideRegExpBuffer(index - 1);
    FByteKinds[0] = 2;
    FStartIndex = 1;
    Reader->SetPosition(FFillEnd);
    return FillRegExpBuffer() && FCount > FStartIndex;
}

void TSearchContext::SlideRegExpBuffer(int32_t By) {
    const auto kept = static_cast<size_t>(FCount - By);
    std::memmove(FChars.data(), FChars.data() + By, kept);
    std::memmove(FOffsets.data(), FOffsets.data() + By, kept * sizeof(int32_t));
    std::memmove(FByteKinds.data(), FByteKinds.data() + By, kept);
    FCount -= By;
    FBase += By;
}

// Appends the range's text from the reader's cursor until the buffer is full or the range ends. A run
// of line breaks becomes one blank, skipping characters are dropped. False when the search was
// cancelled meanwhile.
bool TSearchContext::FillRegExpBuffer() {
    TBufStream& reader = *Reader;
    FBufferFull = false;
    bool inWord = false;
    auto store = [this](char C, int32_t Position, uint8_t Kind) {
        const auto at = static_cast<size_t>(FCount);
        FChars[at] = C;
        FOffsets[at] = Position - FBase - FCount;
        FByteKinds[at] = Kind;
        ++FCount;
    };
    while (FCount < RegExpBufferSize) {
        // A run of bytes stored as they are is copied at once; the cancel flag is looked at after it.
        const std::string_view window = reader.Window();
        const size_t room = std::min(window.size(), static_cast<size_t>(RegExpBufferSize - FCount));
        size_t run = 0;
        while (run < room && FPlain[Byte(window[run])]) ++run;
        if (run > 0) {
            const int32_t from = reader.GetPosition();
            const auto at = static_cast<size_t>(FCount);
            std::memcpy(FChars.data() + at, window.data(), run);
            std::fill_n(FOffsets.data() + at, run, from - FBase - FCount);
            std::fill_n(FByteKinds.data() + at, run, uint8_t{0});
            inWord = !FDelimiter[Byte(window[run - 1])];
            FCount += static_cast<int32_t>(run);
            reader.SetPosition(from + static_cast<int32_t>(run));
            if (PollCancel()) return false;
            continue;
        }
        const int32_t position = reader.GetPosition();
        const char c = reader.ReadByte();
        if (c == 0) break;
        if (FDelimiter[Byte(c)]) {
            if (inWord && PollCancel()) return false;
            inWord = false;
        } else {
            inWord = true;
        }
        if (IsLineBreak(c)) {
            store(' ', position, 0);
            while (true) {
                const int32_t next = reader.GetPosition();
                const char d = reader.ReadByte();
                if (IsLineBreak(d)) continue;
                if (d != 0) reader.SetPosition(next);
                break;
            }
            continue;
        }
        if (FSkip[Byte(c)]) continue;
        if (FDoubleByte && (*FLeadBytes)[Byte(c)]) {
            const int32_t trailAt = reader.GetPosition();
            const char trail = reader.ReadByte();
            if (trail != 0) {
                if (FCount + 2 > RegExpBufferSize) {
                    reader.SetPosition(position);
                    FBufferFull = true;
                    break;
                }
                store(c, position, 1);
                store(trail, trailAt, 2);
                continue;
            }
        }
        store(c, position, 0);
    }
    if (FCount >= RegExpBufferSize) FBufferFull = true;
    FChars[static_cast<size_t>(FCount)] = 0;
    FFillEnd = reader.GetPosition();
    return Owner == nullptr || !Owner->Cancelled;
}

bool TSearchContext::SearchRegExp(bool ShowProgress) {
    if (Owner != nullptr) Owner->SpeedOff = true;
    const int32_t start = MatchStart;
    const bool reused = ReuseRegExpBuffer(start);
    FBufferReader = nullptr;
    FBufferEndIndex = -1;
    if (!reused && !StartRegExpBuffer(start)) return false;
    TRegExp& expression = *Terms[0]->RegExp;
    int32_t searchFrom = FStartIndex;
    while (true) {
        // The end of a full buffer is not the end of the text: the expression may consume nothing of
        // its last character, which only tells anchors and word boundaries what follows, and a match
        // is taken only when it starts in the first half, where every shorter match than the slide
        // ends inside the buffer. A later one is looked for again once the buffer has moved on.
        const int32_t stop = FBufferFull ? FCount - 1 : FCount;
        // Index RegExpSlide becomes the character before the next search start after a slide.
        const int32_t decided = FBufferFull ? RegExpSlide + 1 : FCount;
        TRegExpSpan span;
        bool found = false;
        bool empty = false;  // the leftmost match is empty
        for (int32_t from = searchFrom; from < stop;) {
            try {
                found = expression.Search(std::string_view(FChars.data(), static_cast<size_t>(FCount)), from,
                                          stop, span);
            } catch (const EAbort&) {
                // The search's stop flag reached the matcher.
                if (Owner != nullptr) Owner->Cancelled = true;
                return false;
            }
            empty = !found && span.Start >= 0;
            if (!(found || empty) || !FDoubleByte || FByteKinds[static_cast<size_t>(span.Start)] != 2) break;
            // A match cannot begin on the second byte of a character.
            found = empty = false;
            from = span.Start + 1;
        }
        // An empty leftmost match ends the search as it does over the whole unit, where no later
        // position is tried: the window moving on must not let a later position give a hit.
        if (empty && span.Start < decided) return false;
        if (found && span.Start >= decided) found = false;
        if (found) {
            // The expression compares bytes: a match that stops after a first byte takes its second.
            if (FDoubleByte && span.End < FCount && FByteKinds[static_cast<size_t>(span.End)] == 2)
                ++span.End;
            const int32_t first = FileOffsetOf(span.Start);
            const int32_t last = span.End < FCount ? FileOffsetOf(span.End) : FileOffsetOf(span.End - 1) + 1;
            if (last > first) {
                const int32_t hitStart = std::min(first, Reader->RangeEnd() - 1);
                int32_t hitEnd = std::min(last, Reader->RangeEnd());
                // A match that ends on the blank of a line break ends before the break.
                Reader->SetPosition(hitEnd);
                if (IsLineBreak(Reader->ReadByte())) {
                    while (hitEnd > hitStart) {
                        Reader->SetPosition(hitEnd - 1);
                        if (!IsLineBreak(Reader->ReadByte())) break;
                        --hitEnd;
                    }
                }
                if (hitEnd <= hitStart) {
                    // The match was nothing but a line break: no hit, and the search goes on after it
                    // (returning it would find the same break again and again).
                    searchFrom = span.End;
                    continue;
                }
                MatchStart = hitStart;
                MatchEnd = hitEnd;
                Reader->SetPosition(MatchEnd);
                MatchEndAfterDelimiter = false;
                FBufferReader = Reader;
                FBufferRangeStart = Reader->RangeStart();
                FBufferRangeEnd = Reader->RangeEnd();
                FBufferMatchEnd = MatchEnd;
                FBufferEndIndex = span.End;
                if (ShowProgress && Owner != nullptr) Owner->UpdateProgress(MatchEnd, false);
                return true;
            }
        }
        if (!FBufferFull) return false;
        SlideRegExpBuffer(RegExpSlide);
        // What was searched of the kept part is searched again: a match may go on into the new text.
        // Nothing before the start of this search is.
        FStartIndex = std::max(FStartIndex - RegExpSlide, FDoubleByte ? 0 : 1);
        searchFrom = FStartIndex;
        Reader->SetPosition(FFillEnd);
        if (!FillRegExpBuffer()) return false;
    }
}
