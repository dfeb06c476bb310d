#!/usr/bin/env bash
# Paired runs of search_window_bench on two small corpora, each run timing the window's search and the
# engine's in the same process, and the medians of both and of their ratio:
#   rare: 2,000 generated files of 2-6 KB a language (two languages), a word of about 200 hits;
#   frequent: 66 generated files of 60-80 KB (about 4.7 MB) a language, the corpus's most frequent word.
# The machine's load average is printed before and after each case: on a busy machine the window's two
# threads wait for their turns more often than the engine's one.
#
#   bench/search_window_pairs.sh [-n RUNS] [-b BENCH] [-d FOLDER] [-c rare|frequent|both]
#
# BENCH defaults to build-rel/bench/search_window_bench (a corpus_bench beside one of them generates
# the corpora), FOLDER to /tmp/tessivor_search_pairs (kept between calls), RUNS to 9. Without DISPLAY the
# runs are offscreen. BENCH may be a list separated by commas: the benches then take turns, so that
# two builds are compared under the same load.
set -euo pipefail
cd "$(dirname "$0")/.."

Runs=9
Benches=build-rel/bench/search_window_bench
Folder=/tmp/tessivor_search_pairs
Cases=both
while getopts "n:b:d:c:" Opt; do
    case $Opt in
    n) Runs=$OPTARG ;;
    b) Benches=$OPTARG ;;
    d) Folder=$OPTARG ;;
    c) Cases=$OPTARG ;;
    *) exit 2 ;;
    esac
done
IFS=, read -r -a BenchList <<<"$Benches"
Generator=
for B in "${BenchList[@]}"; do
    [ -z "$Generator" ] && [ -x "$(dirname "$B")/corpus_bench" ] && Generator="$(dirname "$B")/corpus_bench"
done
[ -n "$Generator" ] || { echo "search_window_pairs: no corpus_bench beside the benches" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen

# FOLDER/NAME and its copy as the second language, COUNT files of MINKB-MAXKB.
Generate() {
    local Name=$1 Count=$2 MinKb=$3 MaxKb=$4
    [ -d "$Folder/$Name" ] && return
    mkdir -p "$Folder/$Name.tmp"
    "$Generator" --generate-dir "$Folder/$Name.tmp" "$Count" "$MinKb" "$MaxKb" >/dev/null
    cp -r "$Folder/$Name.tmp" "$Folder/$Name-es"
    mv "$Folder/$Name.tmp" "$Folder/$Name"
}

# The most frequent word of FOLDER/NAME outside tags, or the rarest.
WordOf() {
    local Name=$1 Which=$2
    cat "$Folder/$Name"/*.txt | sed 's/<[^>]*>//g' | tr -cs 'A-Za-z' '\n' | tr 'A-Z' 'a-z' |
        awk 'length($0) > 1' | sort | uniq -c | sort -n | { [ "$Which" = most ] && tail -1 || head -1; } |
        awk '{print $2}'
}

RunCase() {
    local Label=$1 Name=$2 Word=$3
    local Out
    Out=$(mktemp)
    echo "$Label: \"$Word\", load average $(cut -d' ' -f1-3 /proc/loadavg)"
    for ((I = 0; I < Runs; ++I)); do
        for B in "${BenchList[@]}"; do
            printf '%s ' "$B" >>"$Out"
            "$B" --align --lang 1033 "$Folder/$Name"/*.txt --lang 3082 "$Folder/$Name-es"/*.txt \
                --search "$Word" 2>/dev/null | tail -1 >>"$Out"
        done
    done
    for B in "${BenchList[@]}"; do
        awk -v B="$B" '
            $1 != B || $2 != "window" { next }
            { ++N; w[N] = $3; e[N] = $6; r[N] = $9 }
            function median(a, n,   i, j, t) {
                for (i = 2; i <= n; ++i) for (j = i; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
                return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
            }
            END {
                printf "  %s: ratios", B; for (i = 1; i <= N; ++i) printf " %.2f", r[i]; printf "\n"
                printf "  %s: median window %.1f ms, engine %.1f ms, window/engine %.2f (%d runs)\n", B,
                    median(w, N) * 1000, median(e, N) * 1000, median(r, N), N
            }' "$Out"
    done
    echo "  load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
    rm -f "$Out"
}

if [ "$Cases" = rare ] || [ "$Cases" = both ]; then
    Generate rare 2000 2 6
    RunCase "2,000 files a language, a rare word" rare "$(WordOf rare least)"
fi
if [ "$Cases" = frequent ] || [ "$Cases" = both ]; then
    Generate frequent 66 60 80
    RunCase "66 files of about 4.7 MB a language, a frequent word" frequent "$(WordOf frequent most)"
fi
