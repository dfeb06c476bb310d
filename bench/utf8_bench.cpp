// Converting a 100 MB UTF-8 text into a code page, beside the C library's iconv on the same file in
// the same run: Latin text into 1252, Cyrillic into 1251, Japanese into 932, and Polish and Czech text
// into 1252, where most accented letters become their nearest ones (iconv with //TRANSLIT). Both read the
// file and write the converted bytes to a file, in MB/s of UTF-8 input.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/UTF8_to_ASCII.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t CorpusBytes = 100u * 1024 * 1024;

struct TVariant {
    const char* Name;
    int CodePage;
    const char* IconvName;
    std::vector<std::string> Words;
};

const std::vector<TVariant>& Variants() {
    static const std::vector<TVariant> V = {
        {"latin", 1252, "CP1252", {"the", "café", "naïve", "Größe", "être", "house", "señor", "déjà", "vu"}},
        {"cyrillic", 1251, "CP1251", {"дом", "Москва", "книга", "и", "читать", "ёлка", "Жизнь", "слово"}},
        {"cjk", 932, "CP932", {"日本語", "の", "文章", "です", "東京", "カタカナ", "ひらがな", "漢字"}},
        // Letters 1252 lacks, which take their nearest letters: iconv's transliteration does the same.
        {"polish",
         1252,
         "CP1252//TRANSLIT",
         {"Wałęsa", "źródło", "Łódź", "się", "żółć", "dom", "Dvořák", "na"}},
    };
    return V;
}

std::string Folder() {
    static const std::string Dir = [] {
        const fs::path P = fs::temp_directory_path() / ("utf8_bench_" + std::to_string(getpid()));
        fs::create_directories(P);
        return P.string();
    }();
    return Dir;
}

// The generated file of a variant: words, blanks, punctuation and line breaks up to 100 MB.
std::string SourceFile(const TVariant& V) {
    const std::string Path = Folder() + "/" + V.Name + ".txt";
    if (fs::exists(Path)) return Path;
    std::ofstream Out(Path, std::ios::binary);
    std::string Line;
    uint64_t State = 12345;
    size_t Written = 0;
    while (Written < CorpusBytes) {
        Line.clear();
        for (int W = 0; W < 12; ++W) {
            State = State * 6364136223846793005ULL + 1442695040888963407ULL;
            Line += V.Words[(State >> 33) % V.Words.size()];
            Line += W == 11 ? ".\n" : " ";
        }
        Out << Line;
        Written += Line.size();
    }
    return Path;
}

void BM_ConvertUTF8File(benchmark::State& State) {
    const TVariant& V = Variants()[static_cast<size_t>(State.range(0))];
    const std::string Source = SourceFile(V);
    const std::string Dest = Folder() + "/out.txt";
    for (auto _ : State) {
        if (!ConvertUTF8File(Source, Dest, V.CodePage, nullptr)) State.SkipWithError("conversion failed");
    }
    State.SetLabel(std::string(V.Name) + " -> " + std::to_string(V.CodePage));
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(fs::file_size(Source)));
}

void BM_Iconv(benchmark::State& State) {
    const TVariant& V = Variants()[static_cast<size_t>(State.range(0))];
    const std::string Source = SourceFile(V);
    const std::string Dest = Folder() + "/out_iconv.txt";
    for (auto _ : State) {
        iconv_t Cd = iconv_open(V.IconvName, "UTF-8");
        std::FILE* In = std::fopen(Source.c_str(), "rb");
        std::FILE* Out = std::fopen(Dest.c_str(), "wb");
        std::vector<char> InBuf(1 << 16), OutBuf(1 << 17);
        size_t Pending = 0;
        for (;;) {
            const size_t Got = std::fread(InBuf.data() + Pending, 1, InBuf.size() - Pending, In);
            if (Got == 0 && Pending == 0) break;
            char* From = InBuf.data();
            size_t Left = Pending + Got;
            char* To = OutBuf.data();
            size_t Room = OutBuf.size();
            iconv(Cd, &From, &Left, &To, &Room);
            std::fwrite(OutBuf.data(), 1, OutBuf.size() - Room, Out);
            // An incomplete character at the buffer's end waits for the next read.
            std::copy(From, From + Left, InBuf.data());
            Pending = Left;
            if (Got == 0) break;
        }
        std::fclose(In);
        std::fclose(Out);
        iconv_close(Cd);
    }
    State.SetLabel(std::string(V.Name) + " -> " + V.IconvName);
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(fs::file_size(Source)));
}

}  // namespace

BENCHMARK(BM_ConvertUTF8File)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Iconv)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code Ignored;
    fs::remove_all(Folder(), Ignored);
    return 0;
}
