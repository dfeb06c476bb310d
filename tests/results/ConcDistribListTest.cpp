// Distribution buckets against a count by lines, the texts the chart shows, and the reports byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>

#include "platform/IniFiles.h"
#include "results/ConcDistribList.h"
#include "tests/support/TestSupport.h"

namespace {

struct TLayoutFile {
    std::vector<int32_t> Starts;
    int64_t Size = 0;
};

std::vector<TDistribFile> Files(const std::vector<TLayoutFile>& Layout) {
    std::vector<TDistribFile> files;
    for (const TLayoutFile& f : Layout) files.push_back({f.Starts, f.Size});
    return files;
}

TDistribList Position(const std::vector<TLayoutFile>& Layout, int Scope, int StepIndex,
                      const std::vector<TDistribHit>& Hits) {
    return BuildPositionDistribution(Files(Layout), Scope, StepIndex, Hits);
}

// The oracle counts by line numbers, never by byte offsets: a hit's line is the number of line starts at
// or before it plus the lines of the files before it (a file without lines puts its hits after the lines
// before it), and it belongs to the first bucket whose last line is not below that line.
std::vector<int32_t> CountByLines(const std::vector<TLayoutFile>& Layout, int Scope,
                                  const std::vector<int32_t>& EndLines,
                                  const std::vector<TDistribHit>& Hits) {
    std::vector<int32_t> counts(EndLines.size());
    for (const TDistribHit& hit : Hits) {
        if (!hit.Filled || hit.FileIndex < 0 || size_t(hit.FileIndex) >= Layout.size()) continue;
        if (Scope >= 0 && hit.FileIndex != Scope) continue;
        int64_t before = 0;
        for (int f = Scope >= 0 ? Scope : 0; f < hit.FileIndex; ++f)
            before += int64_t(Layout[size_t(f)].Starts.size());
        const std::vector<int32_t>& starts = Layout[size_t(hit.FileIndex)].Starts;
        const int64_t within = std::upper_bound(starts.begin(), starts.end(), hit.HitStart) - starts.begin();
        const int64_t line = before + std::max<int64_t>(within, 1);
        size_t bucket = 0;
        while (bucket + 1 < EndLines.size() && EndLines[bucket] < line) ++bucket;
        ++counts[bucket];
    }
    return counts;
}

TEST(DistribBucketsTest, RandomLayoutsAgreeWithACountByLines) {
    std::mt19937 random(4132);
    auto pick = [&](int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(random); };
    for (int round = 0; round < 3000; ++round) {
        std::vector<TLayoutFile> layout(size_t(pick(1, 4)));
        for (TLayoutFile& file : layout) {
            // Lines of 1 to 4 bytes; some files have no line index at all, some an unknown size.
            const int lines = pick(0, 3) == 0 ? 0 : pick(1, pick(0, 1) ? 8 : 140);
            int32_t at = 0;
            for (int l = 0; l < lines; ++l) {
                file.Starts.push_back(at);
                at += pick(1, 4);
            }
            file.Size = pick(0, 9) == 0 ? -1 : (pick(0, 9) == 0 ? 2147483647 : at);
        }
        std::vector<TDistribHit> hits(size_t(pick(0, 60)));
        for (TDistribHit& hit : hits) {
            hit.FileIndex = pick(-1, int(layout.size()));
            const TLayoutFile* file = hit.FileIndex >= 0 && size_t(hit.FileIndex) < layout.size()
                                          ? &layout[size_t(hit.FileIndex)]
                                          : nullptr;
            // Often exactly on a line start, where a bucket ends.
            hit.HitStart = file && !file->Starts.empty() && pick(0, 1)
                               ? file->Starts[size_t(pick(0, int(file->Starts.size()) - 1))]
                               : pick(0, 600);
            hit.Filled = pick(0, 4) != 0;
        }
        const int scope = pick(-1, int(layout.size()));
        const int effectiveScope = scope < 0 ? ScopeAll : scope;
        const int stepIndex = pick(0, StepCount - 1);
        SCOPED_TRACE("round " + std::to_string(round));

        const TDistribList list = Position(layout, effectiveScope, stepIndex, hits);
        int64_t total = 0;
        if (effectiveScope == ScopeAll) {
            for (const TLayoutFile& f : layout) total += int64_t(f.Starts.size());
        } else if (size_t(effectiveScope) < layout.size()) {
            total = int64_t(layout[size_t(effectiveScope)].Starts.size());
        }
        if (total == 0) {
            EXPECT_TRUE(list.empty());
            continue;
        }
        std::vector<int32_t> endLines;
        if (total == 1) {
            ASSERT_EQ(list.size(), 1u);
            EXPECT_EQ(list[0].Percent, 100);
        } else {
            const int32_t step = DistribSteps[size_t(EffectiveStepIndex(total, stepIndex))];
            ASSERT_EQ(list.size(), size_t(100 / step));
            for (size_t j = 0; j < list.size(); ++j) {
                EXPECT_EQ(list[j].Percent, int32_t(j + 1) * step);
                EXPECT_EQ(list[j].EndLine,
                          int32_t(std::nearbyint(double(j + 1) * double(total) / (100 / step))));
            }
        }
        for (const TDistribItem& item : list) endLines.push_back(item.EndLine);
        EXPECT_EQ(endLines.back(), total);
        std::vector<int32_t> counted;
        for (const TDistribItem& item : list) counted.push_back(item.Hits);
        EXPECT_EQ(counted, CountByLines(layout, effectiveScope, endLines, hits));

        // The file distribution over the same rows.
        const TDistribList perFile = BuildFileDistribution(int(layout.size()), hits);
        ASSERT_EQ(perFile.size(), layout.size());
        for (size_t f = 0; f < layout.size(); ++f) {
            EXPECT_EQ(perFile[f].Hits, std::count_if(hits.begin(), hits.end(), [&](const TDistribHit& h) {
                          return h.Filled && h.FileIndex == int32_t(f);
                      }));
        }
    }
}

TEST(DistribBucketsTest, SmallTextsForceTheirStepsAndRoundHalfToEven) {
    // Forced steps: 2 lines 50 %, 3 lines 33 %, 4 lines 25 % unless 50 % is chosen, 5 lines 20 %.
    for (int step = 0; step < StepCount; ++step) {
        EXPECT_EQ(EffectiveStepIndex(2, step), 6);
        EXPECT_EQ(EffectiveStepIndex(3, step), 5);
        EXPECT_EQ(EffectiveStepIndex(4, step), step == 6 ? 6 : 4);
        EXPECT_EQ(EffectiveStepIndex(5, step), 3);
        EXPECT_EQ(EffectiveStepIndex(6, step), step);
    }
    // Six lines at 25 %: 1.5 and 4.5 lines round to even.
    const TLayoutFile six{{0, 2, 4, 6, 8, 10}, 12};
    std::vector<int32_t> ends;
    for (const TDistribItem& item : Position({six}, 0, 4, {})) ends.push_back(item.EndLine);
    EXPECT_EQ(ends, (std::vector<int32_t>{2, 3, 4, 6}));
    // Six lines at 2 %: 50 buckets, many of them empty and some ending at line 0.
    const TDistribList fine = Position({six}, 0, 0, {{0, 0, true}});
    ASSERT_EQ(fine.size(), 50u);
    EXPECT_EQ(fine[0].EndLine, 0);
    EXPECT_EQ(fine[0].EndPos, 0);
    EXPECT_EQ(DistribTotal(fine), 1);
    // 33 % ends at 99.
    const TDistribList thirds = Position({{{0, 1, 2, 3, 4, 5, 6}, 7}}, 0, 5, {});
    ASSERT_EQ(thirds.size(), 3u);
    EXPECT_EQ(thirds.back().Percent, 99);
}

TEST(DistribBucketsTest, EdgesOfLinesFilesAndTheOneLineText) {
    // "ab\ncd" at 50 %: a hit on the first byte of the second line is in the second bucket.
    const TLayoutFile abcd{{0, 3}, 5};
    const TDistribList halves = Position({abcd}, 0, 6, {{0, 3, true}, {0, 2, true}});
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(halves[0].EndPos, 3);
    EXPECT_EQ(halves[0].Hits, 1);
    EXPECT_EQ(halves[1].Hits, 1);
    // The same at a file boundary over all files.
    const TDistribList files = Position({{{0}, 2}, {{0}, 2}}, ScopeAll, 1, {{1, 0, true}, {0, 1, true}});
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].EndPos, 2);
    EXPECT_EQ(files[0].Hits, 1);
    EXPECT_EQ(files[1].Hits, 1);
    // One line: one bucket of 100 % with only the hits that pass the filter.
    const TDistribList one =
        Position({{{0}, 9}, {{0}, 9}}, 1, 3, {{1, 4, true}, {0, 4, true}, {1, 5, false}, {2, 0, true}});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].Percent, 100);
    EXPECT_EQ(one[0].EndLine, 1);
    EXPECT_EQ(one[0].Hits, 1);
    // A chosen file the language lacks is an empty text.
    EXPECT_TRUE(Position({abcd}, 3, 1, {{3, 0, true}}).empty());
}

TEST(DistribBucketsTest, OffsetsPastTwoGibibytes) {
    const int32_t big = 1500000000;
    const std::vector<TLayoutFile> layout{{{0, big / 2}, big}, {{0, big / 2}, big}, {{0, big / 2}, big}};
    const TDistribList list = Position(layout, ScopeAll, 6, {{2, big / 2 + 1, true}, {1, big - 1, true}});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].EndPos, int64_t(big) + big / 2);
    EXPECT_EQ(list[1].EndPos, 3 * int64_t(big));
    EXPECT_EQ(list[0].Hits, 0);
    EXPECT_EQ(list[1].Hits, 2);
}

TEST(DistribTextsTest, LabelsMarksAndScopes) {
    const TDistribList list{{10, 3, 1, 0}, {20, 7, 0, 0}, {30, 7, 2, 0}};
    EXPECT_EQ(DistribBarLabels(list, TDistribAxis::Percent, {}),
              (std::vector<std::string>{"0 - 10", "10 - 20", "20 - 30"}));
    EXPECT_EQ(DistribBarLabels(list, TDistribAxis::Lines, {}),
              (std::vector<std::string>{"1 - 3", "4 - 7", "8 - 7"}));
    EXPECT_EQ(DistribBarLabels(list, TDistribAxis::Files, {"/c/a.txt", "b.txt"}),
              (std::vector<std::string>{"a.txt", "b.txt", ""}));
    EXPECT_EQ(DistribMarkText(0, 0), "0 (0%)");
    EXPECT_EQ(DistribMarkText(1, 3), "1 (33.33%)");
    EXPECT_EQ(DistribMarkText(3, 3), "3 (100.00%)");
    EXPECT_EQ(DistribScopeItems({"/x/one.txt", "two"}),
              (std::vector<std::string>{"All", "Files distribution", "one.txt", "two"}));
}

std::string Report(void (*Write)(std::ostream&, const std::vector<TDistribColumn>&),
                   const std::vector<TDistribColumn>& Columns) {
    std::ostringstream out;
    Write(out, Columns);
    return out.str();
}

TEST(DistribReportTest, PositionReportByteForByte) {
    // The second language was cut into fewer buckets; a count wider than its field keeps its digits.
    const TDistribList first{{50, 2, 1234567, 0}, {100, 4, 3, 0}};
    const TDistribList second{{100, 1, 5, 0}};
    // Names are cut to 15 characters and right-aligned in 15.
    const std::string expected =
        "   English (United          Greek\r\n"
        "  %     Line  Hits     Line  Hits\r\n"
        "---------------------------------\r\n"
        " 50        21234567               \r\n"
        "100        4     3        1     5\r\n";
    EXPECT_EQ(
        Report(WritePositionDistribution, {{"English (United States)", &first, {}}, {"Greek", &second, {}}}),
        expected);
}

// Languages of random lengths (short ones forced to larger steps) and random hits: the report's rows,
// read back, give every bucket of every language once, on the row of its own percent, and their hits add
// up to the hits counted of each language.
TEST(DistribReportTest, PositionReportWritesEveryBucketOfEveryLanguage) {
    std::mt19937 random(4137);
    auto pick = [&](int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(random); };
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int stepIndex = pick(0, StepCount - 1);
        std::vector<TDistribList> lists(size_t(pick(1, 4)));
        std::vector<int64_t> counted;
        for (TDistribList& list : lists) {
            std::vector<TLayoutFile> layout(1);
            const int lines = pick(0, 3) == 0 ? pick(1, 6) : pick(7, 300);
            for (int l = 0; l < lines; ++l) layout[0].Starts.push_back(l * 3);
            layout[0].Size = lines * 3;
            std::vector<TDistribHit> hits(size_t(pick(0, 40)));
            for (TDistribHit& hit : hits) hit = {0, pick(0, lines * 3 - 1), pick(0, 3) != 0};
            list = Position(layout, ScopeAll, stepIndex, hits);
            counted.push_back(
                std::count_if(hits.begin(), hits.end(), [](const TDistribHit& h) { return h.Filled; }));
        }
        std::vector<TDistribColumn> columns;
        for (size_t L = 0; L < lists.size(); ++L) columns.push_back({"L" + std::to_string(L), &lists[L], {}});
        std::istringstream report(Report(WritePositionDistribution, columns));
        std::string row;
        for (int header = 0; header < 3; ++header) std::getline(report, row);
        std::vector<TDistribList> read(lists.size());
        int previous = 0;
        while (std::getline(report, row)) {
            ASSERT_EQ(row.size(), 3 + 15 * lists.size() + 1) << row;
            const int percent = std::stoi(row.substr(0, 3));
            EXPECT_GT(percent, previous);
            previous = percent;
            for (size_t L = 0; L < lists.size(); ++L) {
                const std::string group = row.substr(3 + 15 * L, 15);
                if (group.find_first_not_of(' ') == std::string::npos) continue;
                read[L].push_back({percent, std::stoi(group.substr(0, 9)), std::stoi(group.substr(9)), 0});
            }
        }
        for (size_t L = 0; L < lists.size(); ++L) {
            ASSERT_EQ(read[L].size(), lists[L].size()) << "language " << L;
            int64_t hits = 0;
            for (size_t i = 0; i < read[L].size(); ++i) {
                EXPECT_EQ(read[L][i].Percent, lists[L][i].Percent);
                EXPECT_EQ(read[L][i].EndLine, lists[L][i].EndLine);
                EXPECT_EQ(read[L][i].Hits, lists[L][i].Hits);
                hits += read[L][i].Hits;
            }
            EXPECT_EQ(hits, counted[L]) << "language " << L;
        }
    }
}

TEST(DistribReportTest, FileReportByteForByte) {
    const TDistribList first{{0, 0, 12, 0}, {0, 0, 0, 0}};
    const TDistribList second{{0, 0, 7, 0}};
    const std::string got =
        Report(WriteFileDistribution,
               {{"French", &first, {"/corpus/a-rather-long-file-name.txt", "/corpus/\xC3\xA9t\xC3\xA9.txt"}},
                {"German (Standard)", &second, {"b.txt"}}});
    const std::string expected =
        "            French                     German (Standard)          \r\n"
        "File name                  Hits   File name                  Hits   \r\n"
        "--------------------------------------------------------------------\r\n"
        "a-rather-long-file-n         12   b.txt                         7   \r\n"
        "\xC3\xA9t\xC3\xA9.txt"
        "                       0                                     \r\n";
    EXPECT_EQ(got, expected);
}

TEST(DistribReportTest, SavingReplacesTheFileWholeOrNotAtAll) {
    TTempDir dir;
    const std::string path = dir.Write("report.txt", "old");
    const TDistribList list{{100, 1, 2, 0}};
    const std::vector<TDistribColumn> columns{{"English", &list, {"a.txt"}}};
    SaveFileDistribution(path, columns);
    EXPECT_EQ(ReadWholeFile(path), Report(WriteFileDistribution, columns));
    SavePositionDistribution(path, columns);
    EXPECT_EQ(ReadWholeFile(path), Report(WritePositionDistribution, columns));
    const std::string before = ReadWholeFile(path);
    {
        TFileSizeLimit limit(8);
        EXPECT_THROW(SavePositionDistribution(path, columns), EIniFileError);
    }
    EXPECT_EQ(ReadWholeFile(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
        << "no temporary file left";
}

}  // namespace
