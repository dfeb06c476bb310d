// Reading speed of the classifying reader over a 100 MB corpus file (plain text with tags, CR LF
// lines), next to a plain byte loop over the same file. The file is generated in the temporary folder
// at start-up and removed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchRandom.h"
#include "engine/BStream.h"
#include "engine/SynStream.h"

namespace {

constexpr int64_t kCorpusBytes = 100LL * 1024 * 1024;
std::string CorpusPath;

std::vector<std::string> MakeVocabulary(TRandom& Random) {
    static const char* const kLetters = "etaoinshrdlucmfwypvbgkjqxz";
    std::vector<std::string> words;
    for (int i = 0; i < 4000; ++i) {
        std::string word;
        const uint32_t length = 1 + Random.Next(6) + Random.Next(6);
        for (uint32_t k = 0; k < length; ++k) word += kLetters[Random.Next(k == 0 ? 26 : 12)];
        words.push_back(word);
    }
    return words;
}

// Paragraph and sentence tags, words with now and then a punctuation mark, CR LF line ends.
void WriteCorpus(const std::string& Path) {
    TRandom random(20240607);
    const std::vector<std::string> words = MakeVocabulary(random);
    std::ofstream out(Path, std::ios::binary);
    std::string chunk;
    int64_t written = 0;
    int sentence = 0;
    while (written < kCorpusBytes) {
        chunk.clear();
        chunk += "<p>\r\n";
        const uint32_t sentences = 1 + random.Next(5);
        for (uint32_t s = 0; s < sentences; ++s) {
            chunk += "<s id=\"" + std::to_string(++sentence) + "\">";
            const uint32_t count = 4 + random.Next(20);
            for (uint32_t w = 0; w < count; ++w) {
                if (w > 0) chunk += random.Next(12) == 0 ? "\r\n" : " ";
                chunk += words[random.Next(static_cast<uint32_t>(words.size()))];
                if (random.Next(10) == 0) chunk += ",";
            }
            chunk += ".</s>\r\n";
        }
        chunk += "</p>\r\n";
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        written += static_cast<int64_t>(chunk.size());
    }
}

std::unique_ptr<TBufStream> OpenReader(TFileSynchroStream& Stream) {
    auto reader =
        std::make_unique<TBufStream>(Stream, 0, NonWordCharSet(".,;:!#$^&()[]{}<>+=/\\|`~\"", "*%?@"));
    TBufStreamTags tags;
    tags.TagStart = '<';
    tags.TagStop = '>';
    reader->Configure(tags);
    return reader;
}

void BM_PlainByteLoop(benchmark::State& State) {
    TFileSynchroStream stream(CorpusPath, fmOpenRead | fmShareDenyWrite);
    std::vector<char> block(TBufStream::BufferSize);
    for (auto _ : State) {
        int32_t position = 0;
        int64_t blanks = 0;
        int32_t got;
        while ((got = stream.ReadAt(block.data(), static_cast<int32_t>(block.size()), position)) > 0) {
            for (int32_t i = 0; i < got; ++i) blanks += block[static_cast<size_t>(i)] == ' ';
        }
        benchmark::DoNotOptimize(blanks);
    }
    State.SetBytesProcessed(State.iterations() * stream.GetSize());
}

void BM_ReadByte(benchmark::State& State) {
    TFileSynchroStream stream(CorpusPath, fmOpenRead | fmShareDenyWrite);
    for (auto _ : State) {
        auto reader = OpenReader(stream);
        int64_t blanks = 0;
        char c;
        while ((c = reader->ReadByte()) != 0) blanks += c == ' ';
        benchmark::DoNotOptimize(blanks);
    }
    State.SetBytesProcessed(State.iterations() * stream.GetSize());
}

void BM_NextChar(benchmark::State& State) {
    TFileSynchroStream stream(CorpusPath, fmOpenRead | fmShareDenyWrite);
    for (auto _ : State) {
        auto reader = OpenReader(stream);
        int64_t perType[7] = {};
        TCharType type;
        while (reader->NextChar(type) != 0) ++perType[type];
        benchmark::DoNotOptimize(perType);
    }
    State.SetBytesProcessed(State.iterations() * stream.GetSize());
}

void BM_NextWord(benchmark::State& State) {
    TFileSynchroStream stream(CorpusPath, fmOpenRead | fmShareDenyWrite);
    int64_t words = 0;
    for (auto _ : State) {
        auto reader = OpenReader(stream);
        words = 0;
        while (!reader->NextWord().empty()) ++words;
        benchmark::DoNotOptimize(words);
    }
    State.SetBytesProcessed(State.iterations() * stream.GetSize());
    State.counters["words"] = static_cast<double>(words);
}

BENCHMARK(BM_PlainByteLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadByte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextChar)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextWord)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tessivor-bstream-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    CorpusPath = (folder / "corpus.txt").string();
    WriteCorpus(CorpusPath);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
