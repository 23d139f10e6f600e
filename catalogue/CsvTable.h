#pragma once
// The in-memory table over one CSV file: loaded whole when opened, changed through
// typed fields and record editing, written back whole when closed.
//
// Each row keeps the text of its line; reading a field cuts it out of the line and
// setting a field replaces only that field's text, so fields the program never sets
// (and fields beyond the defined columns) go back to the file exactly as they came.
//
// Rows are addressed in display order: while a new row is being inserted it has its
// place among the others (RowCount counts it, RecordCount does not).
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/CsvColumn.h"

namespace vb {

enum class CsvTableState { Inactive, Browse, Edit, Insert };

// What changed, for the views that show a table. A row that comes or goes is told
// before and after the change (Inserting/Inserted, Removing/Removed, with its display
// row), so that a view keeps its selection and scroll position.
enum class CsvTableChange {
    Reset,      // the table was opened, closed or sorted: show everything again
    Row,        // the fields of one row changed (also when a post stored it)
    Current,    // the current row moved
    State,      // browse, edit or insert state changed
    Inserting,  // a row is about to appear at `row`
    Inserted,   // it appeared; it is current and being inserted
    Removing,   // the row at `row` is about to go
    Removed,    // it went; the current row may have moved
};

class CsvTableObserver {
public:
    virtual ~CsvTableObserver() = default;
    virtual void TableChanged(CsvTableChange change, int row) = 0;
    // The table is being destroyed; the observer must not touch it any more.
    virtual void TableDestroyed() = 0;
};

// The table's events, as the program's lists react to them. BeforePost returns false
// to refuse the post silently (after showing its own message); the other events
// may throw to stop the operation.
struct CsvTableEvents {
    std::function<void()> AfterInsert;
    std::function<bool()> BeforePost;
    std::function<void()> AfterPost;
    std::function<void()> BeforeDelete;
    std::function<void()> AfterScroll;
};

class CsvTable {
public:
    explicit CsvTable(std::string definition);
    // Never saves: changes that nobody saved or closed are dropped. Saving can fail,
    // and only its owner can say so (Close, SaveChanges).
    ~CsvTable();
    CsvTable(const CsvTable&) = delete;
    CsvTable& operator=(const CsvTable&) = delete;

    // --- Setup --------------------------------------------------------------------
    // Allowed only while the table is closed.
    void SetFileName(const std::string& fileName);
    const std::string& FileName() const { return FFileName; }
    // The column whose values must be unique among the rows (empty: none).
    void SetUniqueKey(const std::string& columnName);
    CsvTableEvents& Events() { return FEvents; }
    void AddObserver(CsvTableObserver* observer);
    void RemoveObserver(CsvTableObserver* observer);
    // While disabled, observers hear nothing; enabling again tells them to reset.
    void DisableControls();
    void EnableControls();

    // --- Open and close -----------------------------------------------------------
    // Loads the file (a missing or empty file gives an empty table); the first row
    // becomes current and the table is clean. An open table is closed first. On
    // failure the table stays closed and the error names the file.
    void Open();
    // Saves when dirty, then drops all rows. When the save fails the error passes on
    // and the table stays open with all its rows, so nothing is lost.
    void Close();
    // Closes without saving (used where a save error must not stop the program).
    void CloseDiscarding();
    // Writes the rows to the file when they changed; the table stays open. When the
    // save fails the error names the file and the rows stay, still unsaved.
    void SaveChanges();
    bool Active() const { return FState != CsvTableState::Inactive; }
    bool Dirty() const { return FDirty; }
    CsvTableState State() const { return FState; }
    const std::string& HeaderText() const { return FHeader; }

    // --- Columns ------------------------------------------------------------------
    const std::vector<CsvColumn>& Columns() const { return FColumns; }
    // The column index of a name regardless of letter case; nullopt when unknown.
    std::optional<int> FindField(std::string_view name) const;
    // As FindField, but throws "Field 'x' not found" for an unknown name.
    int FieldByName(std::string_view name) const;

    // --- Moving -------------------------------------------------------------------
    // Moving first stores a row being edited (refused post: no move) and raises
    // AfterScroll when the row moved (First and Last always raise it on a non-empty
    // table).
    bool First();
    bool Next();  // at the last row: sets Eof and stays
    bool Prior();
    bool Last();
    bool MoveTo(int row);
    bool Eof() const { return FEof; }
    bool Bof() const { return FBof; }
    bool IsEmpty() const { return RowCount() == 0; }
    int RecordCount() const { return static_cast<int>(FRows.size()); }
    int RowCount() const;  // including a row being inserted
    int CurrentRow() const { return FCurrent; }  // -1 when empty

    // --- Reading ------------------------------------------------------------------
    // The value of a field of the current row (a row being edited reads its buffer):
    // trimmed; a string column unquoted and cut to its length.
    std::string GetText(int column) const;
    std::string GetText(std::string_view name) const { return GetText(FieldByName(name)); }
    // Non-zero integer text is true; a null (empty) field and non-numbers are false.
    bool GetBool(int column) const;
    bool GetBool(std::string_view name) const { return GetBool(FieldByName(name)); }
    bool IsNull(int column) const;
    // The same for any row in display order.
    std::string TextAt(int row, int column) const;
    std::optional<bool> BoolAt(int row, int column) const;  // nullopt for a null field
    // The line of a row as it will be written.
    std::string LineAt(int row) const;

    // --- Editing ------------------------------------------------------------------
    void Edit();    // browse -> edit on the current row (an empty table: insert)
    void Append();  // a new row to be stored at the end
    void Insert();  // a new row to be stored before the current row
    // Stores the row; false when BeforePost refused it. A key clash throws
    // "<file> - Key is not unique " and keeps the edit or insert state.
    bool Post();
    void Cancel();
    // Removes the current row (a row being inserted is cancelled instead).
    void Delete();
    // Posts a pending edit the way a move does: a row with no changes is cancelled
    // instead. False when the post was refused.
    bool CheckBrowseMode();
    // Setting needs edit or insert state; it marks the table dirty. A string value is
    // cut to the column's length; a line may not grow beyond 2048 bytes.
    void SetText(int column, std::string_view value);
    void SetText(std::string_view name, std::string_view value) { SetText(FieldByName(name), value); }
    void SetBool(int column, bool value);
    void SetBool(std::string_view name, bool value) { SetBool(FieldByName(name), value); }
    void SetNull(int column);
    bool Modified() const { return FModified; }
    // Changes a field of a stored row (display order, browse state only) to what the
    // file on disk already holds, for a value another writer has put there (the
    // archive name that a backup records): the table stays as clean or dirty as it
    // was, and no event is raised, so the current row and job stay where they are.
    void SetStoredText(int row, int column, std::string_view value);

    // --- Searching and ordering ---------------------------------------------------
    // Makes the first row whose value equals `value` exactly current; false (and no
    // move) when there is none.
    bool Locate(std::string_view name, std::string_view value);
    // Orders the rows by the stored field text of the columns, byte by byte,
    // ascending; marks the table dirty and makes the first row current.
    void Sort(const std::vector<std::string>& columnNames);

private:
    std::string Prefixed(const std::string& message) const;
    void Notify(CsvTableChange change, int row = -1);
    void RaiseAfterScroll();
    void ReadFile();
    void MatchHeader(const std::string& header);
    void AddRow(std::string line, int lineNumber);
    void Save();
    void DropRows();
    void RequireEditing() const;
    void BeginInsert(bool atEnd);
    void CheckUniqueKey() const;
    std::string_view RawField(std::string_view line, int column) const;
    std::string ReadValue(std::string_view line, int column) const;
    void SetRaw(int column, const std::string& fieldText);
    std::string ReplaceField(const std::string& line, int column, const std::string& fieldText) const;
    std::string StringFieldText(int column, std::string_view value) const;
    bool MoveCurrent(int row, bool alwaysScroll);
    const std::string& DisplayLine(int row) const;

    std::string FDefinition;
    std::string FFileName;
    std::string FKeyName;
    std::vector<CsvColumn> FColumns;
    std::string FHeader;
    std::vector<std::string> FRows;
    CsvTableState FState = CsvTableState::Inactive;
    int FCurrent = -1;
    int FPreviousCurrent = -1;  // the row current before an insert or append
    bool FEof = true;
    bool FBof = true;
    bool FDirty = false;
    bool FModified = false;
    std::string FBuffer;  // the row being edited or inserted
    CsvTableEvents FEvents;
    std::vector<CsvTableObserver*> FObservers;
    int FControlsDisabled = 0;
};

}  // namespace vb
