// The packager, run in-process over files in a scratch folder: a package
// goes through build, list, verify and extract; every refusal writes nothing
// and says why; damaged packages are named and extract nothing.
#include "Packager.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>
#include <sstream>

#include "Platform.h"
#include "package/Loader.h"
#include "package/Writer.h"
#include "support/Bytes.h"
#include "system/FakeSystem.h"
#include "szdd/Szdd.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Bytes;
using testing_support::Pattern;
using Buffer = std::vector<std::uint8_t>;

// UTF-8 text, as a command line gives it; plain literals here are Shift-JIS.
std::string U8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

std::string Repeat(std::string_view text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

class PackagerTest : public testing::Test {
public:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : name) {
            if (c == '/') c = '.';
        }
        dir_ = fs::temp_directory_path() / ("packager_test." + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    fs::path Path(const std::string& utf8) const { return dir_ / packager::Utf8Path(utf8); }
    std::string Arg(const std::string& utf8) const { return packager::Utf8Of(Path(utf8)); }

    // Through the packager's own opening: the C++ streams of mingw cannot
    // open names outside the ANSI code page.
    void Write(const std::string& utf8, const Buffer& bytes) const {
        fs::path path = Path(utf8);
        fs::create_directories(path.parent_path());
        std::FILE* file = packager::OpenFile(path, "wb");
        ASSERT_NE(file, nullptr) << utf8;
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    Buffer Read(const std::string& utf8) const {
        Buffer bytes;
        std::FILE* file = packager::OpenFile(Path(utf8), "rb");
        if (file == nullptr) return bytes;
        std::uint8_t buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) {
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        std::fclose(file);
        return bytes;
    }
    bool Exists(const std::string& utf8) const { return fs::exists(Path(utf8)); }

    // Every file under the scratch folder, as UTF-8 paths relative to it.
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
            if (entry.is_regular_file()) {
                names.insert(
                    packager::Utf8Of(entry.path().lexically_relative(dir_).generic_u8string()));
            }
        }
        return names;
    }

    static Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), "packager");
        std::ostringstream out, err;
        int status = packager::Run(args, {out, err, false});
        return {status, out.str(), err.str()};
    }

private:
    fs::path dir_;
};

// ---- a whole round trip

TEST_F(PackagerTest, BuildListVerifyExtract) {
    Buffer stub = Pattern(3000, 1);
    stub[0] = 'M';
    stub[1] = 'Z';
    Write("stub.exe", stub);
    const std::string longName = std::string(55, 'L') + ".DAT";  // 59 bytes: fills the name field
    const std::map<std::string, Buffer> files = {
        {"README.TXT", Bytes(Repeat("Read me first.\r\n", 300))},
        {"PROGRAM.EXE", Pattern(200000, 2)},
        {U8(u8"データ.dat"), Bytes("data")},
        {"EMPTY.BIN", {}},
        {longName, Pattern(100, 3)},
    };
    const std::vector<std::string> order = {"README.TXT", "PROGRAM.EXE", U8(u8"データ.dat"),
                                            "EMPTY.BIN", longName};
    for (const auto& [name, bytes] : files) Write(name, bytes);
    // 31 double-byte characters and two ASCII ones: 95 bytes of UTF-8,
    // exactly 64 of Shift-JIS, where the backslash stays 5Ch.
    const std::string fullNotice = Repeat(U8(u8"版"), 22) + U8(u8"アップデート第二版") + "\\~";
    std::vector<std::string> args = {"build",        "--stub",   Arg("stub.exe"), "-o",
                                     Arg("pkg.exe"), "--notice", fullNotice};
    for (const std::string& name : order) args.push_back(Arg(name));
    Result built = Run(args);
    ASSERT_EQ(built.status, 0) << built.err;

    // The layout, read as the installer reads it.
    Buffer package = Read("pkg.exe");
    ASSERT_GT(package.size(), stub.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), package.begin()));
    sys::FakeSystem system;
    system.moduleFileName = "C:\\setup.exe";
    system.AddFile(system.moduleFileName, package);
    pkg::PackageIndex index;
    ASSERT_EQ(pkg::LoadPackageIndex(system, index).status, pkg::LoadStatus::Loaded);
    EXPECT_EQ(index.dataOffset, stub.size());
    ASSERT_EQ(index.entryCount, 5);
    EXPECT_EQ(std::string(index.Notice()), Repeat("版", 22) + "アップデート第二版" + "\x5C~");
    const char* stored[] = {"README.TX_", "PROGRAM.EX_", "データ.da_", "EMPTY.BI_", nullptr};
    std::size_t at = index.dataOffset;
    for (int i = 0; i < index.entryCount; ++i) {
        const pkg::PackageEntry& entry = index.entries[i];
        const Buffer& content = files.at(order[i]);
        std::string field(reinterpret_cast<const char*>(&package[at + 4]), pkg::NameFieldSize);
        std::string name = field.substr(0, field.find('\0'));
        EXPECT_EQ(name, stored[i] ? stored[i] : longName.substr(0, 58) + "_");
        EXPECT_EQ(entry.restoreChar, static_cast<std::uint8_t>(order[i].back()));
        EXPECT_EQ(entry.expandedSize, content.size());
        Buffer out(content.size());
        std::span<const std::uint8_t> data(&package[at + pkg::RecordHeaderSize], entry.storedSize);
        EXPECT_EQ(szdd::Expand(data, out).status, szdd::Status::Ok);
        EXPECT_EQ(out, content);
        at += pkg::RecordHeaderSize + entry.storedSize;
    }
    EXPECT_EQ(at, package.size() - pkg::TrailerSize);

    Result listed = Run({"list", Arg("pkg.exe")});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("Notice: " + fullNotice), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find(U8(u8"データ.da_")), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find(U8(u8"データ.dat")), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("5 entries"), std::string::npos) << listed.out;

    Result verified = Run({"verify", Arg("pkg.exe")});
    EXPECT_EQ(verified.status, 0) << verified.err;

    Result extracted = Run({"extract", Arg("pkg.exe"), "-C", Arg("out")});
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    for (const auto& [name, bytes] : files) EXPECT_EQ(Read("out/" + name), bytes) << name;
}

TEST_F(PackagerTest, SameInputsGiveTheSameBytes) {
    Write("stub.exe", Pattern(1000, 4));
    Write("A.DLL", Pattern(50000, 5));
    Write("B.TXT", Bytes(Repeat("same ", 1000)));
    for (const char* out : {"one.exe", "two.exe"}) {
        Result r = Run({"build", "--stub", Arg("stub.exe"), "-o", Arg(out), "--notice", "v1",
                        Arg("A.DLL"), Arg("B.TXT")});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    EXPECT_EQ(Read("one.exe"), Read("two.exe"));
}

// ---- refusals

struct RefusalCase {
    std::string name;
    std::function<std::vector<std::string>(PackagerTest&)> setUp;  // the arguments after the output
    int status;
    std::string reason;  // part of the message
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusalTest : public PackagerTest, public testing::WithParamInterface<RefusalCase> {};

// One small file under each name, and its argument.
std::function<std::vector<std::string>(PackagerTest&)> FilesNamed(std::vector<std::string> names) {
    return [names](PackagerTest& test) {
        std::vector<std::string> args;
        for (const std::string& name : names) {
            test.Write(name, Bytes("content"));
            args.push_back(test.Arg(name));
        }
        return args;
    };
}

std::vector<RefusalCase> RefusalCases() {
    std::vector<std::string> many;
    for (int i = 0; i < 65; ++i) many.push_back("F" + std::to_string(i) + ".TXT");
    auto withNotice = [](std::vector<std::string> before) {
        return [before](PackagerTest& test) {
            auto args = before;
            for (const auto& a : FilesNamed({"A.TXT"})(test)) args.push_back(a);
            return args;
        };
    };
    std::vector<RefusalCase> cases = {
        {"NameNotInShiftJis", FilesNamed({U8(u8"\U0001F600.txt")}), 1, "Shift-JIS cannot hold"},
        {"NameLongerThan59Bytes", FilesNamed({std::string(56, 'N') + ".TXT"}), 1, "at most 59"},
        {"UnderscoreBeforeLastCharacter", FilesNamed({"MY_FILE.TXT"}), 1,
         "underscore before its last"},
        {"EndsWithUnderscore", FilesNamed({"FILE.TX_"}), 1, "ends with an underscore"},
        {"EndsWithDoubleByteCharacter", FilesNamed({U8(u8"データ表")}), 1, "double-byte"},
        // "ダ" is 83 5F in Shift-JIS: the installer would replace its 5Fh.
        {"UnderscoreByteInsideCharacter", FilesNamed({U8(u8"ダウンロード.txt")}), 1,
         "second byte is 5Fh"},
        {"SameStoredName", FilesNamed({"A.TXT", "A.TXY"}), 1, "same stored name"},
        {"SameNameInOtherFolderAndCase", FilesNamed({"one/README.TXT", "two/readme.txt"}), 1,
         "same stored name"},
        {"MoreThan64Files", FilesNamed(many), 1, "at most 64"},
        {"NoticeLongerThan64BytesOfShiftJis", withNotice({"--notice", Repeat(U8(u8"版"), 33)}), 1,
         "66 bytes in Shift-JIS"},
        {"NoticeNotInShiftJis", withNotice({"--notice", U8(u8"\U0001F600")}), 1,
         "Shift-JIS cannot hold"},
        {"NoticeFileLongerThan64Bytes",
         [](PackagerTest& test) {
             auto& t = test;
             t.Write("notice.txt", Bytes(std::string(65, 'n')));
             std::vector<std::string> args = {"--notice-file", t.Arg("notice.txt")};
             for (const auto& a : FilesNamed({"A.TXT"})(test)) args.push_back(a);
             return args;
         },
         1, "longer than 64"},
        {"BothNotices", withNotice({"--notice", "a", "--notice-file", "b"}), 2, "not both"},
        {"FileMissing",
         [](PackagerTest& test) { return std::vector<std::string>{test.Arg("NOPE.TXT")}; }, 1,
         "cannot read"},
        {"FilesAddUpTo4GiB",
         [](PackagerTest& test) {
             auto& t = test;
             std::vector<std::string> args;
             for (const char* name : {"BIG1.BIN", "BIG2.BIN"}) {
                 t.Write(name, {});
                 fs::resize_file(t.Path(name), (std::uint64_t{1} << 31) + 1);  // sparse
                 args.push_back(t.Arg(name));
             }
             return args;
         },
         1, "4 GiB"},
        {"PackageWouldReach2GiB",
         [](PackagerTest& test) {
             auto& t = test;
             fs::resize_file(t.Path("stub.exe"), (std::uint64_t{1} << 31) - 100);  // sparse
             return FilesNamed({"A.TXT"})(test);
         },
         1, "2 GiB"},
#ifndef _WIN32
        // Names Linux allows and Windows does not.
        {"NotAWindowsName", FilesNamed({"what?.txt"}), 1, "not a valid Windows file name"},
        {"DeviceName", FilesNamed({"aux.c"}), 1, "not a valid Windows file name"},
#endif
    };
    return cases;
}

TEST_P(RefusalTest, WritesNothingAndSaysWhy) {
    const RefusalCase& c = GetParam();
    Write("stub.exe", Pattern(500, 9));
    std::vector<std::string> args = {"build", "--stub", Arg("stub.exe"), "-o", Arg("pkg.exe")};
    for (const std::string& a : c.setUp(*this)) args.push_back(a);
    std::set<std::string> before = Files();

    Result r = Run(args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_EQ(Files(), before);  // no package, no temporary
}

TEST_F(PackagerTest, MissingStubIsRefused) {
    Write("A.TXT", Bytes("a"));
    Result r = Run({"build", "--stub", Arg("nostub.exe"), "-o", Arg("pkg.exe"), Arg("A.TXT")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists("pkg.exe"));
}

INSTANTIATE_TEST_SUITE_P(Build, RefusalTest, testing::ValuesIn(RefusalCases()),
                         [](const auto& param) { return param.param.name; });

// ---- damaged packages

class DamagedPackageTest : public PackagerTest {
protected:
    // A sound package of two entries; returns its bytes.
    Buffer MakePackage() {
        Write("stub.exe", Pattern(700, 6));
        Write("ONE.TXT", Bytes(Repeat("one ", 500)));
        Write("TWO.DLL", Pattern(20000, 7));
        Result r = Run({"build", "--stub", Arg("stub.exe"), "-o", Arg("pkg.exe"), Arg("ONE.TXT"),
                        Arg("TWO.DLL")});
        EXPECT_EQ(r.status, 0) << r.err;
        return Read("pkg.exe");
    }
    // Refused by verify and by extract, which leaves no folder of its own
    // and, in a folder that exists, neither replaces nor adds a file.
    void ExpectRefused(const std::string& reason) {
        Result verified = Run({"verify", Arg("pkg.exe")});
        EXPECT_EQ(verified.status, 1);
        EXPECT_NE(verified.err.find(reason), std::string::npos) << verified.err;
        Result extracted = Run({"extract", Arg("pkg.exe"), "-C", Arg("new/out")});
        EXPECT_EQ(extracted.status, 1);
        EXPECT_NE(extracted.err.find(reason), std::string::npos) << extracted.err;
        EXPECT_FALSE(Exists("new"));

        Write("old/ONE.TXT", Bytes("before"));
        const std::set<std::string> before = Files();
        EXPECT_EQ(Run({"extract", Arg("pkg.exe"), "-C", Arg("old")}).status, 1);
        EXPECT_EQ(Files(), before);
        EXPECT_EQ(Read("old/ONE.TXT"), Bytes("before"));
    }
};

TEST_F(DamagedPackageTest, EntryThatExpandsShortIsNamed) {
    Buffer package = MakePackage();
    // Entry 1's SZDD header claims one byte more than its data gives.
    std::uint32_t firstStored =
        package[700] | package[701] << 8 | package[702] << 16 | package[703] << 24;
    std::size_t second = 700 + pkg::RecordHeaderSize + firstStored;
    pkg::PutU32(package, second + pkg::RecordExpandedOffset, 20001);
    Write("pkg.exe", package);
    ExpectRefused(
        "entry 1 (TWO.DL_): the compressed data expands to fewer bytes than the header says");
}

TEST_F(DamagedPackageTest, LayoutFaultIsNamed) {
    Buffer package = MakePackage();
    pkg::PutU32(package, package.size() - pkg::TrailerSize + 4, 65);
    Write("pkg.exe", package);
    ExpectRefused("the entry count is above 64");
}

// ---- single files

TEST_F(PackagerTest, CompressAndExpandRestoreTheName) {
    const Buffer content = Bytes(Repeat("notes, notes. ", 400));
    // The restore character is kept as a Shift-JIS byte; the rest of the
    // name goes through Shift-JIS and back.
    const struct {
        std::string name, compressed;
        std::uint8_t restore;
    } names[] = {
        {"notes.txt", "notes.tx_", 't'},
        {U8(u8"データ.txt"), U8(u8"データ.tx_"), 't'},
        {U8(u8"ﾃﾞｰﾀ.ｶ"), U8(u8"ﾃﾞｰﾀ._"), 0xB6},
    };
    for (const auto& n : names) {
        Write(n.name, content);
        Result compressed = Run({"compress", Arg(n.name)});
        ASSERT_EQ(compressed.status, 0) << compressed.err;
        Buffer file = Read(n.compressed);
        auto header = szdd::ParseHeader(file);
        ASSERT_TRUE(header) << n.name;
        EXPECT_EQ(header->restoreChar, n.restore) << n.name;
        EXPECT_EQ(header->expandedSize, content.size());

        fs::remove(Path(n.name));
        Result expanded = Run({"expand", Arg(n.compressed)});
        ASSERT_EQ(expanded.status, 0) << expanded.err;
        EXPECT_EQ(Read(n.name), content) << n.name;
    }

    ASSERT_EQ(Run({"compress", "--greedy", "-o", Arg("g.sz"), Arg("notes.txt")}).status, 0);
    ASSERT_EQ(Run({"expand", "-o", Arg("g.out"), Arg("g.sz")}).status, 0);
    EXPECT_EQ(Read("g.out"), content);
}

TEST_F(PackagerTest, SingleFileFaultsWriteNothing) {
    Write("data.bin", Pattern(5000, 8));
    ASSERT_EQ(Run({"compress", Arg("data.bin")}).status, 0);
    Buffer file = Read("data.bi_");
    pkg::PutU32(file, 10, 5001);
    Write("short.bi_", file);
    Write("plain.bi_", Bytes("not compressed at all"));
    // A header with no character to restore, as some tools write.
    Write("anon.bi_", szdd::Compress(Bytes("x"), 0));
    // Restore characters that would not give a plain file name beside the
    // input: another stream or drive, another folder, a control byte, a
    // device.
    Write("colon.tx_", szdd::Compress(Bytes("x"), ':'));
    Write("back.tx_", szdd::Compress(Bytes("x"), '\\'));
    Write("slash.tx_", szdd::Compress(Bytes("x"), '/'));
    Write("control.tx_", szdd::Compress(Bytes("x"), 0x01));
    Write("CO_", szdd::Compress(Bytes("x"), 'N'));
    // A name that cannot be judged as the installer's names are.
    Write(U8(u8"\U0001F600.tx_"), szdd::Compress(Bytes("x"), 't'));
    const std::set<std::string> before = Files();

    struct Case {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{"expand", Arg("short.bi_")}, "fewer bytes than the header says"},
        {{"expand", Arg("plain.bi_")}, "SZDD signature"},
        {{"expand", Arg("anon.bi_")}, "name the output with -o"},
        {{"expand", Arg("colon.tx_")}, "restoring ':' (3Ah) in place of the final underscore"},
        {{"expand", Arg("back.tx_")}, "restoring '\\' (5Ch)"},
        {{"expand", Arg("slash.tx_")}, "restoring '/' (2Fh)"},
        {{"expand", Arg("control.tx_")}, "restoring byte 01h"},
        {{"expand", Arg("CO_")}, "does not make a plain file name; name the output with -o"},
        {{"expand", Arg(U8(u8"\U0001F600.tx_"))}, "Shift-JIS cannot hold; name the output with -o"},
        {{"compress", Arg("short.bi_")}, "already ends with an underscore"},
        {{"compress", "-o", Arg("data.bin"), Arg("data.bin")}, "would replace the input"},
    };
    for (const Case& c : cases) {
        Result r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.args[1];
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
    EXPECT_EQ(Files(), before);
}

// ---- usage

TEST_F(PackagerTest, WrongUsageExitsWithTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"build"},
        {"build", "--stub", "s", "-o", "o"},
        {"build", "--bogus"},
        {"list"},
        {"list", "a", "b"},
        {"extract", "p", "-C"},
        {"compress", "a", "b"},
        {"expand"},
    };
    for (const auto& args : wrong) {
        Result r = Run(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
}

TEST_F(PackagerTest, HelpForTheToolAndEachCommand) {
    Result all = Run({"--help"});
    EXPECT_EQ(all.status, 0);
    for (const char* command : {"build", "list", "verify", "extract", "compress", "expand"}) {
        EXPECT_NE(all.out.find(std::string("  ") + command + " "), std::string::npos) << command;
        Result one = Run({command, "--help"});
        EXPECT_EQ(one.status, 0);
        EXPECT_EQ(one.out.rfind(std::string("Usage: packager ") + command, 0), 0u) << one.out;
    }
}

}  // namespace
