// The CSV dialect of the job list and the definition lists: reading, writing, the
// limits and the messages of damaged files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "catalogue/CsvColumn.h"
#include "catalogue/CsvFile.h"
#include "catalogue/CsvTable.h"
#include "support/ErrorOf.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

using test::ErrorOf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const char* const kJobDefinition =
    "BEZEICHNUNG:$255,ZIELVERZEICHNIS:$255,DEFINITIONSDATEI:$255,AUTOMATIK:!,BACKUPDATEI:$255";
const char* const kDefDefinition = "NAME:$255,PFAD:$255,DATEIMASKE,SICHERN:!,REKURSIV:!";
const char* const kDefHeader = "NAME:$255,PFAD:$255,DATEIMASKE:$255,SICHERN:!,REKURSIV:!";


class CsvTableTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return (FDir / name).string(); }

    // A definition table opened on `bytes`.
    std::unique_ptr<CsvTable> OpenDef(const std::string& bytes, const char* definition = kDefDefinition) {
        WriteFile(FDir / "def.csv", bytes);
        auto table = std::make_unique<CsvTable>(definition);
        table->SetFileName(PathOf("def.csv"));
        table->Open();
        return table;
    }

    TempDir FDir;
};

TEST(CsvColumnTest, DefinitionItems) {
    struct Case {
        const char* item;
        const char* name;
        CsvColumnType type;
        int length;
    } cases[] = {
        {"NAME:$255", "NAME", CsvColumnType::String, 255},
        {"FLAG:!", "FLAG", CsvColumnType::Boolean, 80},
        {"PLAIN", "PLAIN", CsvColumnType::String, 80},
        {"SEMI;$12", "SEMI", CsvColumnType::String, 12},
        {"LETTER:A7", "LETTER", CsvColumnType::String, 80},  // 'A' starts the length text
        {"DIRECT:30", "DIRECT", CsvColumnType::String, 80},  // '3' is read as a type character
        {"NOLEN:$", "NOLEN", CsvColumnType::String, 80},
        {"BAD:$x", "BAD", CsvColumnType::String, 80},
        {"EMPTY:", "EMPTY", CsvColumnType::String, 80},
        {"COUNT:&", "COUNT", CsvColumnType::Integer, 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        if (std::string(c.item) == "DIRECT:30") {
            EXPECT_EQ(ErrorOf([&] { ParseCsvDefinition(c.item); }), "Invalid field type character: 3");
            continue;
        }
        const auto columns = ParseCsvDefinition(c.item);
        ASSERT_EQ(columns.size(), 1u);
        EXPECT_EQ(columns[0].Name, c.name);
        EXPECT_EQ(columns[0].Type, c.type);
        if (c.type == CsvColumnType::String) {
            EXPECT_EQ(columns[0].Length, c.length);
        }
    }
    const auto def = ParseCsvDefinition(kDefDefinition);
    ASSERT_EQ(def.size(), 5u);
    EXPECT_EQ(def[2].Name, "DATEIMASKE");
    EXPECT_EQ(def[2].Length, 80);
    EXPECT_EQ(def[3].Type, CsvColumnType::Boolean);
    EXPECT_NE(ErrorOf([] { ParseCsvDefinition("A:$2000,B:$49"); }), "");
}

TEST_F(CsvTableTest, InvalidTypeCharacterNamesTheFile) {
    CsvTable table("NAME:$255,WHAT:?3");
    table.SetFileName(PathOf("x.csv"));
    EXPECT_EQ(ErrorOf([&] { table.Open(); }), PathOf("x.csv") + ": Invalid field type character: ?");
    EXPECT_FALSE(table.Active());
}

// Each case: the file's data lines after a definition header, and the values every
// row reads as NAME|PFAD|DATEIMASKE|SICHERN|REKURSIV (booleans as 1, 0 or - for null).
TEST_F(CsvTableTest, ReadsTheDialect) {
    struct Case {
        const char* name;
        std::string body;
        std::vector<std::string> rows;
    } cases[] = {
        {"blanks trimmed", "  abc  ,p,m,1,0\r\n", {"abc|p|m|1|0"}},
        {"quoted blanks kept", "\"  abc  \",p,m,1,0\r\n", {"  abc  |p|m|1|0"}},
        {"doubled quote", "\"a\"\"b\",p,m,1,0\r\n", {"a\"b|p|m|1|0"}},
        {"quoted comma", "x,\"D:\\Daten\\Schule, alt\",*.*,1,1\r\n", {"x|D:\\Daten\\Schule, alt|*.*|1|1"}},
        {"line break in quotes", "x,\"zwei\r\nZeilen\",m,1,1\r\n", {"x|zwei\r\nZeilen|m|1|1"}},
        {"unbalanced quote joins lines", "a\"b,p\r\nc\"d,m,1,1\r\nz,p,m,0,0\r\n", {"a\"b,p\r\nc\"d|m|1|1|-", "z|p|m|0|0"}},
        {"empty lines skipped", "\r\n\r\na,p,m,1,1\r\n\n\r\nb,p,m,1,1\r\n", {"a|p|m|1|1", "b|p|m|1|1"}},
        {"blank line is an empty row", "  \t \r\n", {"|||-|-"}},
        {"booleans", "a,,,1,-1\r\nb,,,0,yes\r\nc,,,\"1\",\r\nd,,, 7 ,x1\r\n",
         {"a|||1|1", "b|||0|0", "c|||0|-", "d|||1|0"}},
        {"missing fields read empty", "only\r\n", {"only|||-|-"}},
        {"fields beyond the columns ignored", "a,p,m,1,1,extra,more\r\n", {"a|p|m|1|1"}},
        {"CR and LF alone end lines", "a,p,m,1,1\rb,p,m,1,1\nc,p,m,1,1", {"a|p|m|1|1", "b|p|m|1|1", "c|p|m|1|1"}},
        {"quote toggles inside a field", "ab\"c,d\"e,m,1,1\r\n", {"ab\"c,d\"e|m|1|1|-"}},
        {"mask cut to 80", "a,p," + std::string(85, 'm') + ",1,1\r\n", {"a|p|" + std::string(80, 'm') + "|1|1"}},
        {"ANSI umlauts", "Sch\xFC" "ler,C:\\\xC4rger,*.*,1,1\r\n", {"Schüler|C:\\Ärger|*.*|1|1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto table = OpenDef(std::string(kDefHeader) + "\r\n" + c.body);
        std::vector<std::string> rows;
        for (table->First(); !table->Eof(); table->Next()) {
            std::string row;
            for (int col = 0; col < 5; ++col) {
                if (col > 0) row += '|';
                if (table->Columns()[col].Type == CsvColumnType::Boolean) {
                    row += table->IsNull(col) ? "-" : (table->GetBool(col) ? "1" : "0");
                } else {
                    row += table->GetText(col);
                }
            }
            rows.push_back(row);
        }
        EXPECT_EQ(rows, c.rows);
        table->CloseDiscarding();
    }
}

TEST_F(CsvTableTest, HeaderMatching) {
    struct Case {
        const char* header;
        std::string expectedHeader;  // as written back
    } cases[] = {
        {kDefHeader, kDefHeader},
        {"name,pfad,dateimaske,sichern,rekursiv", "name,pfad,dateimaske,sichern,rekursiv"},
        {" Name :$255 ,PFAD,DATEIMASKE\t,SICHERN:!,REKURSIV", " Name :$255 ,PFAD,DATEIMASKE\t,SICHERN:!,REKURSIV"},
        {"PFAD,NAME,SICHERN", "PFAD,NAME,SICHERN,DATEIMASKE,REKURSIV"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        auto table = OpenDef(std::string(c.header) + "\r\n");
        EXPECT_EQ(table->HeaderText(), c.expectedHeader);
    }
    // Columns follow the header's order: PFAD is the first field here.
    auto table = OpenDef("PFAD,NAME\r\nC:\\Daten,Daten\r\n");
    EXPECT_EQ(table->GetText("Name"), "Daten");
    EXPECT_EQ(table->GetText("pfad"), "C:\\Daten");
}

TEST_F(CsvTableTest, DamagedFilesFailWithTheirMessageAndStayUntouched) {
    const std::string file = PathOf("bad.csv");
    struct Case {
        const char* name;
        std::string bytes;
        std::string message;
    } cases[] = {
        {"unknown column", "NAME,PFAD,GROESSE\r\n", file + ": ProcessCsvHeaderRow: Field GROESSE found in file, but not in field definitions"},
        {"trailing comma", "NAME,PFAD,\r\n", file + ": Error processing first line of CSV file"},
        {"empty item", "NAME,,PFAD\r\n", file + ": Error processing first line of CSV file"},
        {"repeated column", "NAME,PFAD,name\r\n", file + ": ProcessCsvHeaderRow: Field name found more than once in file"},
        {"overlong line", std::string(kDefHeader) + "\r\n" + std::string(3000, 'x') + "\r\n",
         "CSV string is too long: " + std::string(40, 'x') + "..."},
        {"overlong UTF-8 line", "\xEF\xBB\xBF" + std::string(kDefHeader) + "\r\n" + [] {
             std::string s;
             for (int i = 0; i < 1100; ++i) s += "ä";
             return s;
         }() + "\r\n",
         "CSV string is too long: " + [] {
             std::string s;
             for (int i = 0; i < 40; ++i) s += "ä";
             return s;
         }() + "..."},
        {"too many fields", std::string(kDefHeader) + "\r\n" + std::string(120, ',') + "\r\n",
         file + ": Too many fields in line 2 (the limit is 120 columns)"},
        {"invalid UTF-8", "\xEF\xBB\xBF" + std::string(kDefHeader) + "\r\na,b\xFF,c\r\n", file + ": Invalid UTF-8 text in line 2"},
        {"quote open to the end", std::string(kDefHeader) + "\r\na,\"b,c,1,1\r\nd,e,f,1,1\r\n",
         file + ": Unbalanced double quote in line 2, the rest of the file would become one field"},
        {"binary garbage", std::string("\x7F" "ELF\x02\x01\x01\0\0\0,\x03\0>\0\x01", 17) + "\n\xFF\xFE,,,\x01\x02\r\n",
         file + ": ProcessCsvHeaderRow: Field ?ELF?????? found in file, but not in field definitions"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(file, c.bytes);
        CsvTable table(kDefDefinition);
        table.SetFileName(file);
        EXPECT_EQ(ErrorOf([&] { table.Open(); }), c.message);
        EXPECT_FALSE(table.Active());
        EXPECT_EQ(table.RowCount(), 0);
        table.Close();
        EXPECT_EQ(ReadFile(file), c.bytes);
    }
    // 119 commas make 120 fields: still allowed.
    WriteFile(file, std::string(kDefHeader) + "\r\n" + std::string(119, ',') + "\r\n");
    CsvTable table(kDefDefinition);
    table.SetFileName(file);
    EXPECT_NO_THROW(table.Open());
}

TEST_F(CsvTableTest, UnreadableFile) {
    std::filesystem::create_directory(FDir / "folder.csv");
    CsvTable table(kDefDefinition);
    table.SetFileName(PathOf("folder.csv"));
    EXPECT_EQ(ErrorOf([&] { table.Open(); }), "Can't read CSV file " + PathOf("folder.csv"));
    EXPECT_FALSE(table.Active());
}

TEST_F(CsvTableTest, WritesValuesAndReadsThemBack) {
    struct Case {
        const char* name;
        std::string value;
        std::string field;  // as written
        std::string readBack;
    } cases[] = {
        {"plain", "*.ini;*.txt;*.html", "*.ini;*.txt;*.html", "*.ini;*.txt;*.html"},
        {"quote", "a\"b", "\"a\"\"b\"", "a\"b"},
        {"comma", "D:\\Daten\\Schule, alt", "\"D:\\Daten\\Schule, alt\"", "D:\\Daten\\Schule, alt"},
        {"blanks at the ends", "  x  ", "  x  ", "x"},
        {"backslash", "C:\\Daten", "C:\\Daten", "C:\\Daten"},
        {"line break", "eins\r\nzwei", "\"eins\r\nzwei\"", "eins\r\nzwei"},
        {"empty", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto table = OpenDef(std::string(kDefHeader) + "\r\n");
        table->Append();
        table->SetText("NAME", "n");
        table->SetText("PFAD", c.value);
        ASSERT_TRUE(table->Post());
        table->Close();
        EXPECT_EQ(ReadFile(FDir / "def.csv"), std::string(kDefHeader) + "\r\nn," + c.field + ",,,\r\n");
        auto again = OpenDef(ReadFile(FDir / "def.csv"));
        EXPECT_EQ(again->GetText("PFAD"), c.readBack);
        again->CloseDiscarding();
    }
}

TEST_F(CsvTableTest, SettingAFieldKeepsTheRestOfTheLine) {
    const std::string original = std::string(kDefHeader) + "\r\n" +
                                 "  a ,  \"C:\\x\" ,\"*.mdb\",  1,0,extra,\"more,stuff\"\r\n"
                                 "short\r\n";
    auto table = OpenDef(original);
    table->Edit();
    table->SetText("DATEIMASKE", "*.txt");
    ASSERT_TRUE(table->Post());
    table->Next();
    table->Edit();
    table->SetBool("REKURSIV", true);
    ASSERT_TRUE(table->Post());
    table->Close();
    EXPECT_EQ(ReadFile(FDir / "def.csv"), std::string(kDefHeader) + "\r\n" +
                                              "  a ,  \"C:\\x\" ,*.txt,  1,0,extra,\"more,stuff\"\r\n"
                                              "short,,,,1\r\n");
}

TEST_F(CsvTableTest, LongValuesAreCutOnlyWhenSet) {
    const std::string mask(100, 'm');
    auto table = OpenDef(std::string(kDefHeader) + "\r\na,p," + mask + ",1,1\r\nb,p," + mask + ",1,1\r\n");
    EXPECT_EQ(table->GetText("DATEIMASKE"), std::string(80, 'm'));
    table->Next();
    table->Edit();
    table->SetText("DATEIMASKE", std::string(90, 'z'));
    EXPECT_EQ(table->GetText("DATEIMASKE"), std::string(80, 'z'));
    table->Post();
    table->Close();
    EXPECT_EQ(ReadFile(FDir / "def.csv"),
              std::string(kDefHeader) + "\r\na,p," + mask + ",1,1\r\nb,p," + std::string(80, 'z') + ",1,1\r\n");
}

TEST_F(CsvTableTest, ByteOrderMarkAndEncodingOnWrite) {
    // Read as UTF-8, written back as Windows-1252 without the mark.
    auto table = OpenDef("\xEF\xBB\xBF" + std::string(kDefHeader) + "\r\nSchüler,p,m,1,1\r\n");
    EXPECT_EQ(table->GetText("NAME"), "Schüler");
    table->Edit();
    table->SetText("PFAD", "C:\\€");  // the euro sign exists in Windows-1252
    table->Post();
    table->Close();
    EXPECT_EQ(ReadFile(FDir / "def.csv"), std::string(kDefHeader) + "\r\nSch\xFCler,C:\\\x80,m,1,1\r\n");

    // A folder name that Windows-1252 lacks: the whole file becomes UTF-8 with the mark.
    table = OpenDef(std::string(kDefHeader) + "\r\nSch\xFCler,p,m,1,1\r\n");
    table->Edit();
    table->SetText("PFAD", "/home/Łódź");
    table->Post();
    table->Close();
    const std::string utf8 = "\xEF\xBB\xBF" + std::string(kDefHeader) + "\r\nSchüler,/home/Łódź,m,1,1\r\n";
    EXPECT_EQ(ReadFile(FDir / "def.csv"), utf8);
    auto again = OpenDef(utf8);
    EXPECT_EQ(again->GetText("PFAD"), "/home/Łódź");

    // A first line that is only the mark is an empty line of a UTF-8 file.
    again = OpenDef("\xEF\xBB\xBF\r\n" + std::string(kDefHeader) + "\r\nx,y,z,1,1\r\n");
    EXPECT_EQ(again->RecordCount(), 1);
    EXPECT_EQ(again->GetText("NAME"), "x");
}

TEST_F(CsvTableTest, CloseWritesOnlyWhenDirtyAndDropsEmptyLines) {
    const std::string original = std::string(kDefHeader) + "\r\na,p,m,1,1\r\n\r\nb,p,m,1,1";
    auto table = OpenDef(original);
    EXPECT_FALSE(table->Dirty());
    table->Next();
    table->Close();
    EXPECT_EQ(ReadFile(FDir / "def.csv"), original);

    // A cancelled edit after a field was set still counts as a change.
    table = OpenDef(original);
    table->Edit();
    table->SetText("NAME", "x");
    table->Cancel();
    EXPECT_TRUE(table->Dirty());
    EXPECT_EQ(table->GetText("NAME"), "a");
    table->Close();
    EXPECT_EQ(ReadFile(FDir / "def.csv"), std::string(kDefHeader) + "\r\na,p,m,1,1\r\nb,p,m,1,1\r\n");
}

TEST_F(CsvTableTest, SavingTheBytesTheFileHoldsLeavesItAsItIs) {
    const std::string original = std::string(kDefHeader) + "\r\na,p,m,1,1\r\n";
    auto table = OpenDef(original);
    struct stat before {};
    ASSERT_EQ(::stat((FDir / "def.csv").c_str(), &before), 0);
    table->Edit();
    table->SetText("NAME", "a");  // its own value
    ASSERT_TRUE(table->Post());
    EXPECT_TRUE(table->Dirty());
    table->SaveChanges();
    struct stat after {};
    ASSERT_EQ(::stat((FDir / "def.csv").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // not replaced
    EXPECT_EQ(ReadFile(FDir / "def.csv"), original);

    table->Edit();
    table->SetText("NAME", "b");
    ASSERT_TRUE(table->Post());
    table->Close();
    ASSERT_EQ(::stat((FDir / "def.csv").c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadFile(FDir / "def.csv"), std::string(kDefHeader) + "\r\nb,p,m,1,1\r\n");
}

TEST_F(CsvTableTest, MissingOrEmptyFileOpensEmptyWithTheDefinitionHeader) {
    for (const char* content : {static_cast<const char*>(""), static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(content ? "empty file" : "missing file");
        std::filesystem::remove(FDir / "new.csv");
        if (content) WriteFile(FDir / "new.csv", content);
        CsvTable table(kDefDefinition);
        table.SetFileName(PathOf("new.csv"));
        table.Open();
        EXPECT_TRUE(table.IsEmpty());
        EXPECT_TRUE(table.Eof());
        table.Append();
        table.SetText("NAME", "x");
        table.Post();
        table.Close();
        EXPECT_EQ(ReadFile(FDir / "new.csv"), "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nx,,,,\r\n");
    }
}

TEST_F(CsvTableTest, FailedSaveKeepsTheOldFileAndTheRows) {
    const std::string original = std::string(kDefHeader) + "\r\na,p,m,1,1\r\n";
    auto table = OpenDef(original);
    table->Edit();
    table->SetText("PFAD", std::string(250, 'p'));
    table->Post();
    // Let the process write no more than 100 bytes into any file (this also binds
    // root, unlike file permissions).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string message = ErrorOf([&] { table->Close(); });
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(message, "Die Datei " + PathOf("def.csv") + " kann nicht gespeichert werden (schreiben: die Datei wird zu groß).");
    EXPECT_EQ(ReadFile(FDir / "def.csv"), original);
    EXPECT_TRUE(table->Active());
    EXPECT_TRUE(table->Dirty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FDir.Path()), {}), 1) << "temporary file left";
    table->Close();
    EXPECT_EQ(ReadFile(FDir / "def.csv"), std::string(kDefHeader) + "\r\na," + std::string(250, 'p') + ",m,1,1\r\n");
}

TEST_F(CsvTableTest, RecordEditing) {
    auto table = OpenDef(std::string(kDefHeader) + "\r\nb,,,,\r\nd,,,,\r\n");
    table->Next();  // on d
    table->Insert();
    EXPECT_EQ(table->State(), CsvTableState::Insert);
    EXPECT_EQ(table->RecordCount(), 2);
    EXPECT_EQ(table->RowCount(), 3);
    table->SetText("NAME", "c");
    EXPECT_EQ(table->TextAt(1, 0), "c");
    EXPECT_EQ(table->TextAt(2, 0), "d");
    table->Post();
    table->Append();
    table->SetText("NAME", "e");
    table->Post();
    table->Append();
    table->SetText("NAME", "z");
    table->Cancel();
    EXPECT_EQ(table->RecordCount(), 4);
    EXPECT_EQ(table->GetText("NAME"), "e");
    table->First();
    table->Delete();
    std::vector<std::string> names;
    for (table->First(); !table->Eof(); table->Next()) names.push_back(table->GetText("NAME"));
    EXPECT_EQ(names, (std::vector<std::string>{"c", "d", "e"}));
    EXPECT_TRUE(table->Dirty());

    // Moving away from an untouched new row drops it; a touched one is stored.
    table->First();
    table->Insert();
    table->Next();
    EXPECT_EQ(table->RecordCount(), 3);
    table->Edit();
    table->SetText("NAME", "dd");
    table->Next();
    EXPECT_EQ(table->State(), CsvTableState::Browse);
    EXPECT_EQ(table->TextAt(1, 0), "dd");
}

TEST_F(CsvTableTest, LocateAndSort) {
    auto table = OpenDef(std::string(kDefHeader) +
                         "\r\njob_a,,,,\r\nJob_B,,,,\r\n\"Alpha\",,,,\r\n\xC4rger,,,,\r\n  Zeta,,,,\r\nBeta,,,,\r\n");
    EXPECT_TRUE(table->Locate("name", "Alpha"));  // by the unquoted value
    EXPECT_EQ(table->CurrentRow(), 2);
    EXPECT_TRUE(table->Locate("NAME", "Zeta"));
    EXPECT_FALSE(table->Locate("NAME", "job_b"));  // case-sensitive
    EXPECT_EQ(table->CurrentRow(), 4);
    table->Sort({"NAME"});
    EXPECT_EQ(table->CurrentRow(), 0);
    std::vector<std::string> order;
    for (table->First(); !table->Eof(); table->Next()) order.push_back(table->GetText("NAME"));
    // Stored text order: the blanks of "  Zeta" and the quote of "Alpha" count.
    EXPECT_EQ(order, (std::vector<std::string>{"Zeta", "Alpha", "Beta", "Job_B", "job_a", "Ärger"}));
}

TEST_F(CsvTableTest, UniqueKeys) {
    WriteFile(FDir / "jobs.csv", std::string(kJobDefinition) + "\r\nJob_1,,,1,\r\nJob_2,,,1,\r\n");
    CsvTable table(kJobDefinition);
    table.SetFileName(PathOf("jobs.csv"));
    table.SetUniqueKey("BEZEICHNUNG");
    table.Open();
    const std::string keyError = PathOf("jobs.csv") + " - Key is not unique ";

    table.Edit();
    table.SetText("BEZEICHNUNG", "Job_2");
    EXPECT_EQ(ErrorOf([&] { table.Post(); }), keyError);
    EXPECT_EQ(table.State(), CsvTableState::Edit);
    table.SetText("BEZEICHNUNG", "job_2");  // other letter case: another key
    EXPECT_TRUE(table.Post());

    for (bool append : {false, true}) {
        SCOPED_TRACE(append ? "append" : "insert");
        append ? table.Append() : table.Insert();
        table.SetText("BEZEICHNUNG", "Job_2");
        EXPECT_EQ(ErrorOf([&] { table.Post(); }), keyError);
        EXPECT_EQ(table.State(), CsvTableState::Insert);
        table.Cancel();
    }
    EXPECT_EQ(table.RecordCount(), 2);
    table.Edit();
    table.SetText("BEZEICHNUNG", "Job_1");  // its own name again
    EXPECT_TRUE(table.Post());
}

TEST_F(CsvTableTest, EventsAndRefusedPost) {
    auto table = OpenDef(std::string(kDefHeader) + "\r\na,,,,\r\nb,,,,\r\n");
    int scrolls = 0;
    int inserts = 0;
    bool allow = false;
    table->Events().AfterScroll = [&] { ++scrolls; };
    table->Events().AfterInsert = [&] {
        ++inserts;
        table->SetBool("SICHERN", true);
    };
    table->Events().BeforePost = [&] { return allow; };
    table->Next();
    table->Next();  // at the end: no move
    table->Prior();
    table->First();  // always scrolls
    EXPECT_EQ(scrolls, 3);
    table->Insert();
    EXPECT_EQ(inserts, 1);
    EXPECT_TRUE(table->GetBool("SICHERN"));
    EXPECT_FALSE(table->Post());
    EXPECT_EQ(table->State(), CsvTableState::Insert);
    EXPECT_FALSE(table->Next());  // a refused post stops the move
    EXPECT_EQ(table->State(), CsvTableState::Insert);
    allow = true;
    EXPECT_TRUE(table->Post());
    EXPECT_EQ(table->RecordCount(), 3);
}

TEST_F(CsvTableTest, LineLimitHoldsWhenSettingFields) {
    // A row with a long extra field: setting a name of 255 quotes (each one doubled
    // when written) would make the line longer than a line may be when read back.
    const std::string extra(1600, 'x');
    auto table = OpenDef(std::string(kDefHeader) + "\r\na,p,m,1,1," + extra + "\r\n");
    table->Edit();
    EXPECT_EQ(ErrorOf([&] { table->SetText("NAME", std::string(255, '"')); }),
              "CSV string is too long: " + std::string(40, '"') + "...");
    EXPECT_EQ(table->GetText("NAME"), "a");
    table->SetText("NAME", std::string(200, 'n'));
    EXPECT_TRUE(table->Post());
    table->Close();
    auto again = OpenDef(ReadFile(FDir / "def.csv"));
    EXPECT_EQ(again->GetText("NAME"), std::string(200, 'n'));
}

}  // namespace
}  // namespace vb

namespace vb {
namespace {

// A list in the place of a link: written through a link of root's or this user's, to
// the file it names; a link another user planted is neither followed nor replaced.
TEST(CsvFileTest, WritesThroughOnlyTheLinksOfRootOrThisUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
    struct Case {
        uid_t LinkOwner;
        bool Followed;
    };
    for (const Case& c : {Case{0, true}, Case{65534, false}}) {
        TempDir dir;
        const auto elsewhere = dir / "elsewhere.csv";
        WriteFile(elsewhere, "alt\r\n");
        ::chmod(elsewhere.c_str(), 0600);
        const auto list = dir / "jobs.csv";
        std::filesystem::create_symlink(elsewhere, list);
        ASSERT_EQ(::lchown(list.c_str(), c.LinkOwner, c.LinkOwner), 0);
        if (c.Followed) {
            WriteCsvFile(list.string(), {"neu"});
            EXPECT_EQ(ReadFile(elsewhere), "neu\r\n");
            EXPECT_TRUE(std::filesystem::is_symlink(list));
            struct stat st {};
            ASSERT_EQ(::stat(elsewhere.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0600u);
        } else {
            const std::string message = test::ErrorOf([&] { WriteCsvFile(list.string(), {"neu"}); });
            EXPECT_NE(message.find("Verkn\u00FCpfung eines anderen Benutzers"), std::string::npos) << message;
            EXPECT_EQ(ReadFile(elsewhere), "alt\r\n");
            EXPECT_TRUE(std::filesystem::is_symlink(list));
        }
    }
}

}  // namespace
}  // namespace vb
