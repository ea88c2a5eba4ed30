// Our SZDD files read by decoders no one here wrote, and theirs read by ours:
// libmspack's SZDD decompressor, msexpand and mscompress.
#include <gtest/gtest.h>
#include <mspack.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/SzddSamples.h"
#include "szdd/Szdd.h"

namespace {

namespace fs = std::filesystem;
using Buffer = std::vector<std::uint8_t>;
using testing_support::SzddSample;

class CrossCheckTest : public testing::TestWithParam<SzddSample> {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "szdd_crosscheck.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static void Write(const std::string& path, const Buffer& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    static Buffer Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static int Shell(const std::string& command) { return std::system(command.c_str()); }

    fs::path dir_;
};

const szdd::Level Levels[] = {szdd::Level::Optimal, szdd::Level::Greedy};

TEST_P(CrossCheckTest, LibmspackExpandsOurs) {
    for (szdd::Level level : Levels) {
        Write(Path("in.sz"), szdd::Compress(GetParam().data, 'x', level));
        msszdd_decompressor* decompressor = mspack_create_szdd_decompressor(nullptr);
        ASSERT_NE(decompressor, nullptr);
        int error =
            decompressor->decompress(decompressor, Path("in.sz").data(), Path("out").data());
        mspack_destroy_szdd_decompressor(decompressor);
        ASSERT_EQ(error, MSPACK_ERR_OK);
        EXPECT_EQ(Read(Path("out")), GetParam().data);
    }
}

TEST_P(CrossCheckTest, MsexpandExpandsOurs) {
    for (szdd::Level level : Levels) {
        Write(Path("in.sz"), szdd::Compress(GetParam().data, 'x', level));
        ASSERT_EQ(Shell(std::string(MSEXPAND) + " <'" + Path("in.sz") + "' >'" + Path("out") +
                        "' 2>/dev/null"),
                  0);
        EXPECT_EQ(Read(Path("out")), GetParam().data);
    }
}

TEST_P(CrossCheckTest, WeExpandMscompressOutput) {
    // mscompress 0.4 writes a wrong stream for anything shorter: msexpand and
    // libmspack decode it to the same wrong bytes as we do.
    if (GetParam().data.size() < 16) {
        GTEST_SKIP() << "mscompress cannot compress inputs under 16 bytes";
    }
    Write(Path("in"), GetParam().data);
    ASSERT_EQ(Shell(std::string(MSCOMPRESS) + " '" + Path("in") + "' >/dev/null 2>&1"), 0);
    Buffer file = Read(Path("in_"));
    Buffer out(GetParam().data.size());
    szdd::ExpandResult result = szdd::Expand(file, out);
    ASSERT_EQ(result.status, szdd::Status::Ok) << szdd::Describe(result.status);
    EXPECT_EQ(out, GetParam().data);
    // The optimal level is never larger than COMPRESS's encoder.
    EXPECT_LE(szdd::Compress(GetParam().data, 0).size(), file.size());
}

INSTANTIATE_TEST_SUITE_P(Samples, CrossCheckTest, testing::ValuesIn(testing_support::SzddSamples()),
                         [](const auto& param) { return param.param.name; });

}  // namespace
