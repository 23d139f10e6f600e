// The definition list: defaults of new rows, the comma check, the order after a
// post, and the table following the current job.
#include <gtest/gtest.h>

#include "support/FakeHost.h"
#include "catalogue/CsvTable.h"
#include "catalogue/DefinitionList.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class DefinitionListTest : public ::testing::Test {
protected:
    TJob JobWith(const std::string& name, const std::string& file) {
        TJob job;
        job.Bezeichnung = name;
        job.DefFile = file.empty() ? std::string() : (FDir / file).string();
        return job;
    }

    TempDir FDir;
    CsvTable FTable{kDefinitionListDefinition};
    test::FakeHost FHost;
    DefinitionList FList{FTable, FHost};
};

TEST_F(DefinitionListTest, NewRowHasBothFlags) {
    FList.OpenForJob(JobWith("Job_1", "JobDef_1.csv"));
    FTable.Insert();
    EXPECT_TRUE(FTable.GetBool("SICHERN"));
    EXPECT_TRUE(FTable.GetBool("REKURSIV"));
    EXPECT_EQ(FTable.GetText("NAME"), "");
    EXPECT_EQ(FTable.GetText("DATEIMASKE"), "");
}

TEST_F(DefinitionListTest, CommaInTheMasksIsRefused) {
    struct Case {
        std::string masks;
        std::string message;  // "" when the post goes ahead
    } cases[] = {
        {"*.mdb,*.txt", "Unzulässiges Trennzeichen (,) vor *.txt."},
        {"*.mdb;*.txt", ""},
        {",", "Unzulässiges Trennzeichen (,) vor ."},
        {"a," + std::string(78, 'x'), "Unzulässiges Trennzeichen (,) vor " + std::string(78, 'x') + "."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.masks);
        FList.OpenForJob(JobWith("Job_1", "JobDef_1.csv"));
        FHost.FShown.clear();
        FTable.Insert();
        FTable.SetText("NAME", "Daten");
        FTable.SetText("DATEIMASKE", c.masks);
        EXPECT_EQ(FTable.Post(), c.message.empty());
        if (c.message.empty()) {
            EXPECT_TRUE(FHost.FShown.empty());
            EXPECT_EQ(FTable.RecordCount(), 1);
        } else {
            EXPECT_EQ(FHost.FShown, std::vector<std::string>{"Meldung: " + c.message});
            EXPECT_EQ(FTable.State(), CsvTableState::Insert);
            EXPECT_EQ(FTable.RecordCount(), 0);
        }
        FTable.CloseDiscarding();
    }
    // The text after the comma is cut to 255 characters in the message.
    EXPECT_EQ(CommaInMaskMessage("a," + std::string(300, 'y')),
              "Unzulässiges Trennzeichen (,) vor " + std::string(255, 'y') + ".");
}

TEST_F(DefinitionListTest, PostSortsByName) {
    WriteFile(FDir / "def.csv", std::string(kDefinitionFileHeader) + "\r\nAlpha,/a,*.*,1,1\r\nZeta,/z,*.*,1,1\r\n");
    FList.OpenForJob(JobWith("Job", "def.csv"));
    FTable.Last();
    FTable.Edit();
    FTable.SetText("PFAD", "/neu");
    ASSERT_TRUE(FTable.Post());
    EXPECT_EQ(FTable.CurrentRow(), 0);
    EXPECT_EQ(FTable.GetText("NAME"), "Alpha");
    FTable.Insert();
    FTable.SetText("NAME", "Mitte");
    ASSERT_TRUE(FTable.Post());
    EXPECT_EQ(FTable.TextAt(1, 0), "Mitte");
}

TEST_F(DefinitionListTest, FollowsTheCurrentJob) {
    WriteFile(FDir / "a.csv", std::string(kDefinitionFileHeader) + "\r\nEins,/1,*.*,1,1\r\n");
    FList.OpenForJob(JobWith("A", "a.csv"));
    FTable.Edit();
    FTable.SetText("DATEIMASKE", "*.txt");  // still in edit state, as the grid leaves it
    // Another job: the first list is saved, the missing second one opens empty.
    FList.OpenForJob(JobWith("B", "b.csv"));
    EXPECT_EQ(ReadFile(FDir / "a.csv"), std::string(kDefinitionFileHeader) + "\r\nEins,/1,*.txt,1,1\r\n");
    EXPECT_TRUE(FTable.Active());
    EXPECT_TRUE(FTable.IsEmpty());
    EXPECT_FALSE(std::filesystem::exists(FDir / "b.csv"));

    // A job without a definition file: the table stays closed and the message names the job.
    try {
        FList.OpenForJob(JobWith("Ohne", ""));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Für den Job \"Ohne\" ist keine Definitionsdatei angegeben.");
    }
    EXPECT_FALSE(FTable.Active());
    // No job at all (an empty job list): closed, no error.
    EXPECT_NO_THROW(FList.OpenForJob(TJob{}));
    EXPECT_FALSE(FTable.Active());
}

TEST_F(DefinitionListTest, OnlyTheStartWritesDefaultRows) {
    // The current job at start has lost its file: it is written again.
    FList.OpenWithDefaults(JobWith("Vorlix-Backup", "Vorlixbackup.csv"), "/opt");
    EXPECT_EQ(FTable.RecordCount(), 7);
    EXPECT_EQ(FTable.GetText("NAME"), "Kursverwaltung");
    // Another job's missing file is shown empty.
    FList.OpenForJob(JobWith("Job_2", "JobDef_2.csv"));
    EXPECT_TRUE(FTable.IsEmpty());
    // An existing file is never overwritten with defaults.
    WriteFile(FDir / "eigen.csv", std::string(kDefinitionFileHeader) + "\r\nEigen,/e,*.*,0,0\r\n");
    FList.OpenWithDefaults(JobWith("Eigen", "eigen.csv"), "/opt");
    EXPECT_EQ(FTable.RecordCount(), 1);
    // A definition file in a missing folder cannot be written at start.
    EXPECT_THROW(FList.OpenWithDefaults(JobWith("X", "weg/def.csv"), "/opt"), Error);
}

}  // namespace
}  // namespace vb
