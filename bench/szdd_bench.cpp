// Measures the SZDD codec side by side with the tools it is held to, on a
// fixed corpus, and prints the ratios:
//   - compressed size of the optimal and greedy levels against mscompress,
//     and of the optimal level against an exhaustive optimum;
//   - compression time, `packager compress` against `mscompress`, whole
//     process to whole process;
//   - expansion time, ours against libmspack's SZDD decompressor, file to
//     file, both in this process;
//   - peak resident memory of `packager compress` and `packager expand` on a
//     file larger than their limit.
// Times are the best of a few runs, which is what the machine can do when
// other work leaves it alone.
//
// Usage: szdd_bench [CORPUS-LIST]
#include <mspack.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "Packager.h"
#include "support/SzddReference.h"
#include "szdd/Szdd.h"

namespace {

namespace fs = std::filesystem;
using Buffer = std::vector<std::uint8_t>;

constexpr int Repeats = 3;

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

[[noreturn]] void Die(const std::string& message) {
    std::fprintf(stderr, "szdd_bench: %s\n", message.c_str());
    std::exit(1);
}

Buffer ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Die("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), {}};
}

struct ProcessRun {
    double seconds;
    double peakMiB;
};

// Runs a program with its output discarded; fails the benchmark if it fails.
ProcessRun Spawn(const std::vector<std::string>& args) {
    double start = Now();
    pid_t pid = fork();
    if (pid < 0) Die("fork failed");
    if (pid == 0) {
        std::FILE* null = std::fopen("/dev/null", "w");
        if (null != nullptr) {
            dup2(fileno(null), 1);
            dup2(fileno(null), 2);
        }
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Die("failed: " + args[0] + " " + args.back());
    }
    return {Now() - start, static_cast<double>(usage.ru_maxrss) / 1024.0};
}

template <class F>
double Best(F&& run) {
    double best = 1e30;
    for (int i = 0; i < Repeats; ++i) best = std::min(best, run());
    return best;
}

double ExpandWithLibmspack(const fs::path& in, const fs::path& out) {
    msszdd_decompressor* decompressor = mspack_create_szdd_decompressor(nullptr);
    if (decompressor == nullptr) Die("libmspack: no decompressor");
    std::string from = in.string(), to = out.string();
    double start = Now();
    int error = decompressor->decompress(decompressor, from.data(), to.data());
    double seconds = Now() - start;
    mspack_destroy_szdd_decompressor(decompressor);
    if (error != MSPACK_ERR_OK) Die("libmspack failed on " + from);
    return seconds;
}

double ExpandWithPackager(const fs::path& in, const fs::path& out) {
    std::ostringstream quiet;
    double start = Now();
    int status = packager::Run({"packager", "expand", "-o", out.string(), in.string()},
                               {quiet, quiet, false});
    double seconds = Now() - start;
    if (status != 0) Die("packager expand failed on " + in.string() + ": " + quiet.str());
    return seconds;
}

struct Row {
    std::string name;
    std::uint64_t size = 0, mscompress = 0, optimal = 0, greedy = 0, exact = 0;
    double mscompressTime = 0, compressTime = 0, greedyTime = 0, libmspackTime = 0, expandTime = 0;
};

std::string Mb(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path corpusList = argc > 1 ? argv[1] : CORPUS;
    std::vector<fs::path> corpus;
    {
        std::ifstream list(corpusList);
        if (!list) Die("cannot read " + corpusList.string());
        for (std::string line; std::getline(list, line);) {
            if (line.empty() || line[0] == '#') continue;
            if (!fs::exists(line)) Die("corpus file missing: " + line);
            corpus.emplace_back(line);
        }
    }

    char pattern[] = "/tmp/szdd_bench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) Die("no temporary folder");
    const fs::path work = pattern;

    // Memory first. A child's peak as wait4 reports it includes the peak of
    // the process that forked it (Linux records it at exec), so this runs
    // while the benchmark itself is still small; its own peak is printed too.
    const fs::path big = work / "big.bin";
    {
        std::ofstream out(big, std::ios::binary);
        std::vector<char> buffer(std::size_t{1} << 16);
        std::uint64_t written = 0;
        while (written < (std::uint64_t{96} << 20)) {
            for (const fs::path& source : corpus) {
                std::ifstream in(source, std::ios::binary);
                while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
                       in.gcount() > 0) {
                    out.write(buffer.data(), in.gcount());
                    written += static_cast<std::uint64_t>(in.gcount());
                }
            }
        }
    }
    const std::uint64_t bigSize = fs::file_size(big);
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    const double floorMiB = static_cast<double>(self.ru_maxrss) / 1024.0;
    ProcessRun compressBig =
        Spawn({PACKAGER, "compress", "-o", (work / "big.sz").string(), big.string()});
    ProcessRun expandBig =
        Spawn({PACKAGER, "expand", "-o", (work / "big.back").string(), (work / "big.sz").string()});
    ProcessRun compressSmall =
        Spawn({PACKAGER, "compress", "-o", (work / "small.sz").string(), corpus.back().string()});
    const bool bigSame = fs::file_size(work / "big.back") == bigSize;
    fs::remove(big);
    fs::remove(work / "big.back");

    std::vector<Row> rows;

    std::printf("%-14s %9s %11s %9s %9s %9s %8s %8s %9s\n", "file", "bytes", "mscompress",
                "optimal", "greedy", "exact", "opt/ms", "grd/ms", "opt/exact");
    for (const fs::path& source : corpus) {
        Row row;
        row.name = source.filename().string();
        const Buffer data = ReadFile(source);
        row.size = data.size();
        const fs::path in = work / row.name;
        fs::copy_file(source, in, fs::copy_options::overwrite_existing);
        const fs::path msOut = work / (row.name + "_");
        const fs::path ours = work / (row.name + ".sz");
        const fs::path greedy = work / (row.name + ".gsz");
        const fs::path back = work / (row.name + ".back");

        row.mscompressTime = Best([&] {
            fs::remove(msOut);
            return Spawn({MSCOMPRESS, in.string()}).seconds;
        });
        row.compressTime = Best([&] {
            return Spawn({PACKAGER, "compress", "-o", ours.string(), in.string()}).seconds;
        });
        row.greedyTime = Best([&] {
            return Spawn({PACKAGER, "compress", "--greedy", "-o", greedy.string(), in.string()})
                .seconds;
        });
        row.mscompress = fs::file_size(msOut);
        row.optimal = fs::file_size(ours);
        row.greedy = fs::file_size(greedy);
        row.exact = szdd::HeaderSize + (testing_support::OptimalBits(data) + 7) / 8;

        row.libmspackTime = Best([&] { return ExpandWithLibmspack(ours, back); });
        if (ReadFile(back) != data) Die("libmspack did not give back " + row.name);
        row.expandTime = Best([&] { return ExpandWithPackager(ours, back); });
        if (ReadFile(back) != data) Die("packager expand did not give back " + row.name);

        std::printf(
            "%-14s %9llu %11llu %9llu %9llu %9llu %8.4f %8.4f %+8.3f%%\n", row.name.c_str(),
            static_cast<unsigned long long>(row.size),
            static_cast<unsigned long long>(row.mscompress),
            static_cast<unsigned long long>(row.optimal),
            static_cast<unsigned long long>(row.greedy), static_cast<unsigned long long>(row.exact),
            static_cast<double>(row.optimal) / static_cast<double>(row.mscompress),
            static_cast<double>(row.greedy) / static_cast<double>(row.mscompress),
            100.0 * (static_cast<double>(row.optimal) / static_cast<double>(row.exact) - 1.0));
        std::fflush(stdout);
        rows.push_back(row);
    }

    Row total;
    for (const Row& row : rows) {
        total.size += row.size;
        total.mscompress += row.mscompress;
        total.optimal += row.optimal;
        total.greedy += row.greedy;
        total.exact += row.exact;
        total.mscompressTime += row.mscompressTime;
        total.compressTime += row.compressTime;
        total.greedyTime += row.greedyTime;
        total.libmspackTime += row.libmspackTime;
        total.expandTime += row.expandTime;
    }

    std::printf("\n%-14s %9s %9s %9s %9s %9s\n", "seconds", "mscomp", "optimal", "greedy",
                "libmspack", "expand");
    for (const Row& row : rows) {
        std::printf("%-14s %9.4f %9.4f %9.4f %9.4f %9.4f\n", row.name.c_str(), row.mscompressTime,
                    row.compressTime, row.greedyTime, row.libmspackTime, row.expandTime);
    }

    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("\nCorpus: %zu files, %s MB\n", rows.size(), Mb(total.size).c_str());
    std::printf(
        "compressed size, optimal / mscompress:      %.4f   (issue: about 0.956 to 0.965)\n",
        ratio(static_cast<double>(total.optimal), static_cast<double>(total.mscompress)));
    std::printf("compressed size, greedy / mscompress:       %.4f   (issue: about 0.99 to 1.0)\n",
                ratio(static_cast<double>(total.greedy), static_cast<double>(total.mscompress)));
    std::printf(
        "compressed size, optimal / exact optimum:   %+.4f%%  (target: within 0.2%%)\n",
        100.0 *
            (ratio(static_cast<double>(total.optimal), static_cast<double>(total.exact)) - 1.0));
    std::printf(
        "compression, mscompress time / packager:    %.1fx    (target: at least 4x; %.3f s against "
        "%.3f s)\n",
        ratio(total.mscompressTime, total.compressTime), total.mscompressTime, total.compressTime);
    std::printf("compression, mscompress time / greedy:      %.1fx\n",
                ratio(total.mscompressTime, total.greedyTime));
    std::printf(
        "expansion, libmspack time / ours:           %.1fx    (target: at least 5x; %.4f s against "
        "%.4f s)\n",
        ratio(total.libmspackTime, total.expandTime), total.libmspackTime, total.expandTime);
    std::printf(
        "peak memory, packager compress of %s MB: %.1f MiB  (target: at most 64 MiB; %.1f MiB on "
        "%s)\n",
        Mb(bigSize).c_str(), compressBig.peakMiB, compressSmall.peakMiB,
        corpus.back().filename().c_str());
    std::printf("peak memory, packager expand of the same:    %.1f MiB%s\n", expandBig.peakMiB,
                bigSame ? "" : "  (OUTPUT SIZE DIFFERS)");
    std::printf("  (peaks include this benchmark's own, %.1f MiB, at the time)\n", floorMiB);
    std::printf("time, packager compress / expand of %s MB: %.2f s / %.2f s\n", Mb(bigSize).c_str(),
                compressBig.seconds, expandBig.seconds);

    fs::remove_all(work);
    return bigSame ? 0 : 1;
}
