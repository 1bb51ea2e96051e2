#include "perform/setfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/halfwrite.h"
#include "common/tempfolder.h"
#include "common/testmedia.h"

#include <algorithm>

#include "fuzz/fuzz_sets.h"
#include "perform/memosett.h"
#include "util/fspath.h"

#include <random>

#include <sys/stat.h>

namespace velorixa::perform {
namespace {

// 0-based line of a field, counted by hand from the layout: header, 12 styles of 35 lines,
// then 26 keys of 244 lines (200 slots, 32 spares, 12 names).
int StyleLine(int s, int field) {
    return 1 + (s - 1) * 35 + field;
}  // 0 title, 1 content, 2..33 spares, 34 note
int KeyLine(int k, int field) {
    return 1 + 12 * 35 + (k - 1) * 244 + field;
}  // 0..199 slots, 200..231 spares, 232..243 names

// A set file of empty styles and keys, written without the writer.
QList<QByteArray> HandLines() {
    QList<QByteArray> lines{"\"Velorix v.0.5 RedozadE\""};
    for (int s = 1; s <= 12; ++s) {
        lines << "\"\""
              << "\"\"";
        for (int i = 0; i < 32; ++i)
            lines << "0";
        lines << "\"\"";
    }
    for (int k = 1; k <= 26; ++k) {
        for (int i = 0; i < 232; ++i)
            lines << "0";
        for (int i = 0; i < 12; ++i)
            lines << "\"\"";
    }
    return lines;
}

QByteArray Join(const QList<QByteArray>& lines, const char* end = "\r\n") {
    QByteArray out;
    for (const QByteArray& l : lines)
        out.append(l).append(end);
    return out;
}

PerformanceSet FullSet() {
    const double awkward[] = {0.1, 1e-300, -2.5, 1.0 / 3, 5e-324, 1e300, -0.0, 123456.789};
    PerformanceSet set;
    for (int s = 1; s <= kStyleCount; ++s) {
        set.Styles[s] = {QStringLiteral("Sty %1").arg(s), s % 2 ? "ABZ" : "", {}, "note, Ä €"};
        for (int i = 1; i <= kSpareCount; ++i)
            set.Styles[s].Spare[i] = awkward[(s + i) % 8] * i;
    }
    for (int k = 1; k <= kKeyCount; ++k) {
        KeyRecord& key = set.KeySet[k];
        for (int i = 0; i < kSlotCount; ++i)
            key.Slot[i] = static_cast<int16_t>((i * 331 + k * 977) % 65536 - 32768);
        for (int i = 1; i <= kSpareCount; ++i)
            key.Spare[i] = awkward[(k * i) % 8] / i;
        for (int i = 2; i <= kNameCount; ++i)
            key.Names[i] = QStringLiteral(" name %1/%2").arg(k).arg(i);
    }
    return set;
}

TEST(SetFile, FullStateRoundTripsLineForLine) {
    const PerformanceSet set = FullSet();
    const QByteArray data = WriteSetFile(set);
    EXPECT_EQ(data.count('\n'), 1 + 12 * 35 + 26 * 244);
    EXPECT_EQ(data.count("\r\n"), data.count('\n'));
    EXPECT_TRUE(data.endsWith("\r\n"));
    const QList<QByteArray> lines = data.split('\n');
    EXPECT_EQ(lines[StyleLine(7, 2)], "0.1\r");
    EXPECT_EQ(lines[KeyLine(1, 200)], "1e-300\r");
    EXPECT_EQ(lines[KeyLine(1, 205)], "0\r");  // -0.0
    const SetFileRead read = ReadSetFile(data);
    ASSERT_EQ(read.status, SetFileStatus::Ok);
    EXPECT_TRUE(read.set == set);

    // A quote or line break inside a string is dropped; the file stays readable.
    PerformanceSet odd = set;
    odd.Styles[3].Title = QStringLiteral("a\"b");
    odd.KeySet[4].Names[5] = QStringLiteral("x\r\ny\nz");
    const SetFileRead oddRead = ReadSetFile(WriteSetFile(odd));
    ASSERT_EQ(oddRead.status, SetFileStatus::Ok);
    EXPECT_EQ(oddRead.set.Styles[3].Title, "ab");
    EXPECT_EQ(oddRead.set.KeySet[4].Names[5], "xyz");
}

TEST(SetFile, HandWrittenFileLoadsWithEitherLineEnd) {
    QList<QByteArray> lines = HandLines();
    lines[0] = "Velorix v.0.5 RedozadE";  // the header without quotes
    lines[StyleLine(1, 0)] = "\"Funk\"";
    lines[StyleLine(1, 1)] = "ABC";  // a string without quotes
    lines[StyleLine(1, 2)] = ".5";
    lines[StyleLine(1, 3)] = "1E-3";
    lines[StyleLine(1, 4)] = " -0.5 ";
    lines[KeyLine(1, 1)] = "-32768";
    lines[KeyLine(26, 243)] = "\"a, b\"";
    lines << "\"anything after the last field\"";
    PerformanceSet want;
    want.Styles[1] = {"Funk", "ABC", {0, 0.5, 1e-3, -0.5}, ""};
    want.KeySet[1].Slot[1] = -32768;
    want.KeySet[26].Names[12] = "a, b";
    for (const char* end : {"\n", "\r\n", "\r"}) {
        const SetFileRead read = ReadSetFile(Join(lines, end));
        ASSERT_EQ(read.status, SetFileStatus::Ok) << read.errorLine;
        EXPECT_TRUE(read.set == want) << end;
    }
}
TEST(SetFile, FaultsGiveTheirStatusAndLine) {
    const struct {
        const char* name;
        int line;  // -1: cut the file before this line instead
        QByteArray text;
        SetFileStatus status;
    } cases[] = {
        {"other header", 0, "\"Velorix v.0.4 RedozadE\"", SetFileStatus::WrongHeader},
        {"empty file", -1, {}, SetFileStatus::WrongHeader},
        {"cut in the keys", KeyLine(13, 100), {}, SetFileStatus::Malformed},
        {"slot x", KeyLine(5, 7), "x", SetFileStatus::Malformed},
        {"slot out of range", KeyLine(5, 7), "40000", SetFileStatus::Malformed},
        {"slot not whole", KeyLine(5, 7), "1.5", SetFileStatus::Malformed},
        {"slot empty", KeyLine(5, 7), "", SetFileStatus::Malformed},
        {"spare x", StyleLine(4, 9), "1.2.3", SetFileStatus::Malformed},
        {"spare too large", KeyLine(2, 210), "1e999", SetFileStatus::Malformed},
        {"spare not finite", KeyLine(2, 210), "inf", SetFileStatus::Malformed},
    };
    // A load that stops at a fault keeps what it read before; the rest stays as it was.
    PerformanceSet base;
    base.KeySet[1].Slot[0] = 7;
    base.KeySet[26].Names[12] = QStringLiteral("kept");
    for (const auto& c : cases) {
        QList<QByteArray> lines = HandLines();
        lines[KeyLine(1, 0)] = "1";
        if (c.line >= 0 && c.text.isNull())
            lines = lines.mid(0, c.line);
        else if (c.line >= 0)
            lines[c.line] = c.text;
        else
            lines.clear();
        const SetFileRead read = ReadSetFile(Join(lines), base);
        EXPECT_EQ(read.status, c.status) << c.name;
        EXPECT_EQ(read.errorLine, std::max(c.line, 0) + 1) << c.name;
        EXPECT_EQ(read.set.KeySet[1].Slot[0], c.line > KeyLine(1, 0) ? 1 : 7) << c.name;
        EXPECT_EQ(read.set.KeySet[26].Names[12], "kept") << c.name;
    }
}

using SetFileDisk = testmedia::TempFolderTest;

TEST_F(SetFileDisk, SaveReplacesAndLoadReadsBack) {
    writeBytes("S.PSF", "old");
    ASSERT_TRUE(SaveSetFile(path("S.PSF"), FullSet()));
    EXPECT_TRUE(LoadSetFile(path("S.PSF")).set == FullSet());

    EXPECT_EQ(LoadSetFile(path("none.PSF")).status, SetFileStatus::NotFound);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("dir.PSF"));
    EXPECT_EQ(LoadSetFile(path("dir.PSF")).status, SetFileStatus::NotFound);
    // A FIFO must not make the load wait for a writer.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.PSF")).constData(), 0600), 0);
    EXPECT_EQ(LoadSetFile(path("fifo.PSF")).status, SetFileStatus::Malformed);
}

TEST_F(SetFileDisk, WriteFailingHalfwayKeepsTheOldFile) {
    // A file size limit makes the write fail part way, even for root.
    writeBytes("S.PSF", "old set");
    const bool saved =
        testmedia::SaveFailingHalfWay([&] { return SaveSetFile(path("S.PSF"), FullSet()); });
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes("S.PSF"), "old set");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"S.PSF"});
}

TEST_F(SetFileDisk, SetFilesInMatchesTheEndingInAnyCase) {
    for (const char* name : {"c.Psf", "B.PSF", "a.psf", "d.psf.bak", "e.txt"})
        writeBytes(name, {});
    ASSERT_TRUE(QDir(dir_.path()).mkdir("f.PSF"));
    EXPECT_EQ(SetFilesIn(dir_.path()), (QStringList{"a.psf", "B.PSF", "c.Psf"}));
    // A name that is not UTF-8 is listed as its bytes and loads.
    const QByteArray latin1 = velorixa::util::PathToBytes(dir_.path()) + "/z\xe9.PSF";
    ASSERT_TRUE(testmedia::writeFile(latin1.toStdString(), WriteSetFile(FullSet()).toStdString()));
    const QString name = velorixa::util::PathFromBytes("z\xe9.PSF");
    EXPECT_EQ(SetFilesIn(dir_.path()).last(), name);
    EXPECT_EQ(LoadSetFile(dir_.path() + "/" + name).status, SetFileStatus::Ok);
}

TEST_F(SetFileDisk, CrOnlyFilesReadAsTheirCrLfTwins) {
    // A set file and the settings file written by an editor that ends lines with CR alone.
    QByteArray set = WriteSetFile(FullSet());
    set.replace("\r\n", "\r");
    writeBytes("Mac.PSF", set);
    const SetFileRead read = LoadSetFile(path("Mac.PSF"));
    EXPECT_EQ(read.status, SetFileStatus::Ok) << read.errorLine;
    EXPECT_TRUE(read.set == FullSet());

    writeBytes("MemoSett.ini", "Cur.PSF\rF1.PSF\r\rF3.PSF\r");
    const std::array<QString, kSetSlots> names{"Cur.PSF", "F1.PSF", "", "F3.PSF"};
    EXPECT_EQ(ReadMemoSett(MemoSettPath(dir_.path() + "/")), names);
}

TEST_F(SetFileDisk, MemoSettKeepsNameBytes) {
    const QString file = MemoSettPath(dir_.path() + "/");
    const QByteArray bytes = "caf\xe9.PSF\r\n\xff.PSF\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
    writeBytes("MemoSett.ini", bytes);
    const auto names = ReadMemoSett(file);
    EXPECT_EQ(velorixa::util::PathToBytes(names[0]), "caf\xe9.PSF");
    ASSERT_TRUE(WriteMemoSett(file, names));
    EXPECT_EQ(readBytes("MemoSett.ini"), bytes);
}

// The fuzzers' properties over seeded random inputs.
TEST_F(SetFileDisk, FuzzEntriesHoldOverRandomInputs) {
    std::mt19937 rng(6765);
    const std::string_view pieces[] = {"\r",   "\n",    "\r\n",    "\"",           "x",       "1",
                                       "-0.5", "1e999", "caf\xe9", "\xEF\xBB\xBF", {"\0", 1}, " "};
    const QByteArray full = WriteSetFile(FullSet());
    for (int i = 0; i < 300; ++i) {
        std::string in;
        const int n = static_cast<int>(rng() % 30);
        for (int k = 0; k < n; ++k)
            in += pieces[rng() % std::size(pieces)];
        const auto* data = reinterpret_cast<const uint8_t*>(in.data());
        EXPECT_EQ(velorixa::fuzz::fuzzMemoSettOne(data, in.size()), "")
            << QByteArray::fromStdString(in).toHex().constData();
        // A whole set file with a piece spliced in somewhere.
        std::string set = full.toStdString();
        set.insert(rng() % set.size(), in);
        EXPECT_EQ(velorixa::fuzz::fuzzSetFileOne(reinterpret_cast<const uint8_t*>(set.data()),
                                                 set.size()),
                  "")
            << in;
    }
}

TEST_F(SetFileDisk, MemoSettKeepsNamesWhole) {
    const QString file = MemoSettPath(dir_.path() + "/");
    std::array<QString, kSetSlots> none;
    EXPECT_EQ(ReadMemoSett(file), none);

    writeBytes("MemoSett.ini", "Cur.PSF\r\nF1.PSF\nF2.PSF");
    std::array<QString, kSetSlots> expected{"Cur.PSF", "F1.PSF", "F2.PSF"};
    EXPECT_EQ(ReadMemoSett(file), expected);

    std::array<QString, kSetSlots> names{" lead, blank.PSF", "", "Ä.PSF", "two\nlines.PSF"};
    names[8] = "F8.PSF";
    ASSERT_TRUE(WriteMemoSett(file, names));
    EXPECT_EQ(readBytes("MemoSett.ini").count("\r\n"), kSetSlots);
    names[3].clear();
    EXPECT_EQ(ReadMemoSett(file), names);
}

}  // namespace
}  // namespace velorixa::perform
