#include "catalogue/CsvTable.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "catalogue/CsvFile.h"
#include "catalogue/CsvText.h"
#include "util/Error.h"
#include "platform/RunPhases.h"
#include "util/Utf8.h"

namespace vb {
namespace {

// A line as kept in memory holds at most this many bytes of UTF-8, and a line of the
// file at most this many characters.
constexpr std::size_t kMaxLineBytes = 2048;
constexpr std::size_t kMaxLineCharacters = 16382;

std::string TooLongMessage(std::string_view utf8) {
    return "CSV string is too long: " + PrintableText(FirstCharacters(utf8, 40)) + "...";
}

void CheckLineLength(std::string_view utf8) {
    if (utf8.size() > kMaxLineBytes || CountCharacters(utf8) > kMaxLineCharacters) {
        throw RangeError(TooLongMessage(utf8));
    }
}

bool ParseBool(std::string_view trimmed) {
    std::int32_t value = 0;
    std::string_view digits = trimmed;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+') return false;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return false;
    return value != 0;
}

}  // namespace

CsvTable::CsvTable(std::string definition) : FDefinition(std::move(definition)) {
    // A faulty definition shows at Open, where the message can name the file.
    try {
        FColumns = ParseCsvDefinition(FDefinition);
    } catch (const Error&) {
        FColumns.clear();
    }
}

CsvTable::~CsvTable() {
    // The views hear that the rows are gone, then that the table is.
    CloseDiscarding();
    const auto observers = FObservers;
    for (CsvTableObserver* observer : observers) observer->TableDestroyed();
}

void CsvTable::SetFileName(const std::string& fileName) {
    if (Active()) throw Error("Cannot change the file name of an open CSV table: " + FFileName);
    FFileName = fileName;
}

void CsvTable::SetUniqueKey(const std::string& columnName) {
    if (!columnName.empty()) FieldByName(columnName);
    FKeyName = columnName;
}

void CsvTable::AddObserver(CsvTableObserver* observer) { FObservers.push_back(observer); }

void CsvTable::RemoveObserver(CsvTableObserver* observer) {
    FObservers.erase(std::remove(FObservers.begin(), FObservers.end(), observer), FObservers.end());
}

void CsvTable::DisableControls() { ++FControlsDisabled; }

void CsvTable::EnableControls() {
    if (FControlsDisabled > 0 && --FControlsDisabled == 0) Notify(CsvTableChange::Reset);
}

void CsvTable::Notify(CsvTableChange change, int row) {
    if (FControlsDisabled > 0) return;
    const auto observers = FObservers;  // an observer may remove itself
    for (CsvTableObserver* observer : observers) observer->TableChanged(change, row);
}

void CsvTable::RaiseAfterScroll() {
    Notify(CsvTableChange::Current, FCurrent);
    if (FEvents.AfterScroll) FEvents.AfterScroll();
}

std::string CsvTable::Prefixed(const std::string& message) const { return FFileName + ": " + message; }

// ---- Open and close -------------------------------------------------------------

void CsvTable::Open() {
    if (Active()) Close();
    RunPhase phase("table load");
    try {
        FColumns = ParseCsvDefinition(FDefinition);
    } catch (const Error& error) {
        throw Error(Prefixed(error.what()));
    }
    try {
        ReadFile();
    } catch (...) {
        DropRows();
        throw;
    }
    FState = CsvTableState::Browse;
    FCurrent = FRows.empty() ? -1 : 0;
    FBof = true;
    FEof = FRows.empty();
    FDirty = false;
    FModified = false;
    Notify(CsvTableChange::Reset);
    if (!FRows.empty()) RaiseAfterScroll();
}

void CsvTable::ReadFile() {
    if (FFileName.empty()) throw Error("No file name given for the CSV table");
    FRows.clear();
    std::string defaultHeader;
    for (const CsvColumn& column : FColumns) defaultHeader += (defaultHeader.empty() ? "" : ",") + column.Name;

    std::vector<CsvFileLine> lines = ReadCsvFile(FFileName);
    if (lines.empty()) {
        MatchHeader(defaultHeader);
        return;
    }
    MatchHeader(lines.front().Text);
    for (std::size_t i = 1; i < lines.size(); ++i) AddRow(std::move(lines[i].Text), lines[i].LineNumber);
}

void CsvTable::MatchHeader(const std::string& header) {
    CheckLineLength(header);
    for (CsvColumn& column : FColumns) column.FilePosition = -1;
    FHeader = header;
    int position = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = header.find(',', start);
        std::string_view item = std::string_view(header).substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        item = TrimCsvBlanks(item);
        while (!item.empty() && (item.back() == '\r' || item.back() == '\n')) item.remove_suffix(1);
        item = TrimCsvBlanks(item.substr(0, item.find(':')));
        if (item.empty()) throw Error(Prefixed("Error processing first line of CSV file"));
        const std::optional<int> index = FindField(item);
        if (!index) {
            throw Error(Prefixed("ProcessCsvHeaderRow: Field " + PrintableText(item) + " found in file, but not in field definitions"));
        }
        if (FColumns[*index].FilePosition >= 0) {
            throw Error(Prefixed("ProcessCsvHeaderRow: Field " + PrintableText(item) + " found more than once in file"));
        }
        FColumns[*index].FilePosition = position++;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    for (CsvColumn& column : FColumns) {
        if (column.FilePosition >= 0) continue;
        column.FilePosition = position++;
        FHeader += "," + column.Name;
    }
}

void CsvTable::AddRow(std::string line, int lineNumber) {
    CheckLineLength(line);
    if (SplitCsvFields(line).size() > static_cast<std::size_t>(kCsvMaxFields)) {
        throw RangeError(Prefixed("Too many fields in line " + std::to_string(lineNumber) + " (the limit is 120 columns)"));
    }
    FRows.push_back(std::move(line));
}

void CsvTable::Close() {
    if (!Active()) return;
    if (FState == CsvTableState::Edit || FState == CsvTableState::Insert) Cancel();
    if (FDirty) Save();
    DropRows();
}

void CsvTable::SaveChanges() {
    if (Active() && FDirty) Save();
}

void CsvTable::CloseDiscarding() {
    if (Active()) DropRows();
}

void CsvTable::DropRows() {
    FRows.clear();
    FBuffer.clear();
    FState = CsvTableState::Inactive;
    FCurrent = -1;
    FEof = FBof = true;
    FDirty = FModified = false;
    Notify(CsvTableChange::Reset);
}

void CsvTable::Save() {
    RunPhase phase("table save");
    std::vector<std::string> lines;
    lines.reserve(FRows.size() + 1);
    lines.push_back(FHeader);
    for (const std::string& row : FRows) lines.push_back(row);
    WriteCsvFile(FFileName, lines);
    FDirty = false;
}

// ---- Columns --------------------------------------------------------------------

std::optional<int> CsvTable::FindField(std::string_view name) const {
    for (std::size_t i = 0; i < FColumns.size(); ++i) {
        if (SameColumnName(FColumns[i].Name, name)) return static_cast<int>(i);
    }
    return std::nullopt;
}

int CsvTable::FieldByName(std::string_view name) const {
    if (auto index = FindField(name)) return *index;
    throw Error("Field '" + std::string(name) + "' not found");
}

// ---- Moving ---------------------------------------------------------------------

int CsvTable::RowCount() const {
    return static_cast<int>(FRows.size()) + (FState == CsvTableState::Insert ? 1 : 0);
}

bool CsvTable::MoveCurrent(int row, bool alwaysScroll) {
    if (!CheckBrowseMode()) return false;
    if (FRows.empty()) return false;
    row = std::clamp(row, 0, static_cast<int>(FRows.size()) - 1);
    const bool moved = row != FCurrent;
    FCurrent = row;
    if (moved || alwaysScroll) RaiseAfterScroll();
    return true;
}

bool CsvTable::First() {
    if (!MoveCurrent(0, true)) {
        FBof = FEof = FRows.empty();
        return false;
    }
    FBof = true;
    FEof = false;
    return true;
}

bool CsvTable::Last() {
    if (!MoveCurrent(RecordCount() - 1, true)) return false;
    FEof = true;
    FBof = false;
    return true;
}

bool CsvTable::Next() {
    if (!CheckBrowseMode()) return false;
    if (FCurrent + 1 >= RecordCount()) {
        FEof = true;
        return false;
    }
    FBof = FEof = false;
    return MoveCurrent(FCurrent + 1, false);
}

bool CsvTable::Prior() {
    if (!CheckBrowseMode()) return false;
    if (FCurrent <= 0) {
        FBof = true;
        return false;
    }
    FBof = FEof = false;
    return MoveCurrent(FCurrent - 1, false);
}

bool CsvTable::MoveTo(int row) {
    if (row < 0 || row >= RowCount()) return false;
    if (row == FCurrent) return true;
    if (FState == CsvTableState::Insert) {
        // An untouched new row goes away on the move, and the rows below it move up.
        const int pending = FCurrent;
        const bool keepsRow = FModified;
        if (!CheckBrowseMode()) return false;
        if (!keepsRow && row > pending) --row;
    }
    FBof = FEof = false;
    return MoveCurrent(row, false);
}

// ---- Reading --------------------------------------------------------------------

const std::string& CsvTable::DisplayLine(int row) const {
    if (row < 0 || row >= RowCount()) throw RangeError("Row index out of range");
    if (FState == CsvTableState::Insert) {
        if (row == FCurrent) return FBuffer;
        return FRows[row > FCurrent ? row - 1 : row];
    }
    if (FState == CsvTableState::Edit && row == FCurrent) return FBuffer;
    return FRows[row];
}

std::string_view CsvTable::RawField(std::string_view line, int column) const {
    const auto spans = SplitCsvFields(line);
    const std::size_t position = static_cast<std::size_t>(FColumns.at(column).FilePosition);
    if (position >= spans.size()) return {};
    return line.substr(spans[position].Begin, spans[position].End - spans[position].Begin);
}

std::string CsvTable::ReadValue(std::string_view line, int column) const {
    const CsvColumn& def = FColumns.at(column);
    const std::string_view trimmed = TrimCsvBlanks(RawField(line, column));
    if (def.Type == CsvColumnType::Boolean) return std::string(trimmed);
    std::string value = UnquoteCsvValue(trimmed);
    if (def.Type == CsvColumnType::String || def.Type == CsvColumnType::WideString) {
        value.resize(FirstCharacters(value, static_cast<std::size_t>(def.Length)).size());
    }
    return value;
}

std::string CsvTable::GetText(int column) const {
    if (FCurrent < 0) return {};
    return ReadValue(DisplayLine(FCurrent), column);
}

bool CsvTable::GetBool(int column) const { return ParseBool(GetText(column)); }

bool CsvTable::IsNull(int column) const { return GetText(column).empty(); }

std::string CsvTable::TextAt(int row, int column) const { return ReadValue(DisplayLine(row), column); }

std::optional<bool> CsvTable::BoolAt(int row, int column) const {
    const std::string text = TextAt(row, column);
    if (text.empty()) return std::nullopt;
    return ParseBool(text);
}

std::string CsvTable::LineAt(int row) const { return DisplayLine(row); }

// ---- Editing --------------------------------------------------------------------

void CsvTable::RequireEditing() const {
    if (FState != CsvTableState::Edit && FState != CsvTableState::Insert) {
        throw Error(Prefixed("The table is not in edit or insert mode"));
    }
}

void CsvTable::Edit() {
    if (!Active()) throw Error(Prefixed("The table is not open"));
    if (FState == CsvTableState::Edit || FState == CsvTableState::Insert) return;
    if (FRows.empty()) return Insert();
    FBuffer = FRows[FCurrent];
    FModified = false;
    FState = CsvTableState::Edit;
    Notify(CsvTableChange::State, FCurrent);
}

void CsvTable::Append() { BeginInsert(true); }

void CsvTable::Insert() { BeginInsert(false); }

void CsvTable::BeginInsert(bool atEnd) {
    if (!Active()) throw Error(Prefixed("The table is not open"));
    if (!CheckBrowseMode()) return;
    const int row = atEnd ? RecordCount() : std::max(FCurrent, 0);
    Notify(CsvTableChange::Inserting, row);
    FPreviousCurrent = FCurrent;
    FCurrent = row;
    FBuffer = std::string(FColumns.size() - 1, ',');
    FModified = false;
    FState = CsvTableState::Insert;
    FBof = FEof = false;
    Notify(CsvTableChange::Inserted, row);
    if (FEvents.AfterInsert) FEvents.AfterInsert();
}

void CsvTable::CheckUniqueKey() const {
    if (FKeyName.empty()) return;
    const int key = FieldByName(FKeyName);
    const std::string_view mine = RawField(FBuffer, key);
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        if (FState == CsvTableState::Edit && static_cast<int>(i) == FCurrent) continue;
        if (RawField(FRows[i], key) == mine) throw Error(FFileName + " - Key is not unique ");
    }
}

bool CsvTable::Post() {
    if (FState != CsvTableState::Edit && FState != CsvTableState::Insert) return true;
    if (FEvents.BeforePost && !FEvents.BeforePost()) return false;
    CheckUniqueKey();
    if (FState == CsvTableState::Edit) {
        FRows[FCurrent] = FBuffer;
    } else {
        FRows.insert(FRows.begin() + FCurrent, FBuffer);
    }
    FState = CsvTableState::Browse;
    FModified = false;
    FDirty = true;
    Notify(CsvTableChange::Row, FCurrent);  // an inserted row was shown already
    if (FEvents.AfterPost) FEvents.AfterPost();
    return true;
}

void CsvTable::Cancel() {
    if (FState == CsvTableState::Edit) {
        FState = CsvTableState::Browse;
        FModified = false;
        Notify(CsvTableChange::State, FCurrent);
    } else if (FState == CsvTableState::Insert) {
        const int row = FCurrent;
        Notify(CsvTableChange::Removing, row);
        FState = CsvTableState::Browse;
        FModified = false;
        FCurrent = FRows.empty() ? -1 : std::clamp(FPreviousCurrent, 0, RecordCount() - 1);
        FEof = FBof = FRows.empty();
        Notify(CsvTableChange::Removed, row);
    }
}

void CsvTable::Delete() {
    if (!Active()) throw Error(Prefixed("The table is not open"));
    if (FState == CsvTableState::Insert) return Cancel();
    if (FState == CsvTableState::Edit) Cancel();
    if (FRows.empty()) return;
    if (FEvents.BeforeDelete) FEvents.BeforeDelete();
    const int row = FCurrent;
    Notify(CsvTableChange::Removing, row);
    FRows.erase(FRows.begin() + FCurrent);
    FDirty = true;
    FCurrent = std::min(FCurrent, RecordCount() - 1);
    FEof = FBof = FRows.empty();
    Notify(CsvTableChange::Removed, row);
    RaiseAfterScroll();
}

bool CsvTable::CheckBrowseMode() {
    if (FState != CsvTableState::Edit && FState != CsvTableState::Insert) return true;
    if (FModified) return Post();
    Cancel();
    return true;
}

std::string CsvTable::ReplaceField(const std::string& line, int column, const std::string& fieldText) const {
    const auto spans = SplitCsvFields(line);
    const std::size_t position = static_cast<std::size_t>(FColumns.at(column).FilePosition);
    std::string changed = line;
    std::size_t begin = changed.size(), end = changed.size();
    if (position < spans.size()) {
        begin = spans[position].Begin;
        end = spans[position].End;
    } else {
        changed.append(position - spans.size() + 1, ',');
        begin = end = changed.size();
    }
    changed.replace(begin, end - begin, fieldText);
    CheckLineLength(changed);
    return changed;
}

std::string CsvTable::StringFieldText(int column, std::string_view value) const {
    const CsvColumn& def = FColumns.at(column);
    if (!utf8::isValid(value)) throw Error(Prefixed("Invalid UTF-8 text for field " + def.Name));
    if (def.Type == CsvColumnType::Boolean) return std::string(TrimCsvBlanks(value));
    if (def.Type == CsvColumnType::String || def.Type == CsvColumnType::WideString) {
        value = FirstCharacters(value, static_cast<std::size_t>(def.Length));
    }
    return QuoteCsvValue(value);
}

void CsvTable::SetStoredText(int row, int column, std::string_view value) {
    if (FState != CsvTableState::Browse || row < 0 || row >= RecordCount()) {
        throw Error(Prefixed("No row to change"));
    }
    FRows[static_cast<std::size_t>(row)] = ReplaceField(FRows[static_cast<std::size_t>(row)], column,
                                                       StringFieldText(column, value));
    Notify(CsvTableChange::Row, row);
}

void CsvTable::SetRaw(int column, const std::string& fieldText) {
    RequireEditing();
    FBuffer = ReplaceField(FBuffer, column, fieldText);
    FModified = true;
    FDirty = true;
    Notify(CsvTableChange::Row, FCurrent);
}

void CsvTable::SetText(int column, std::string_view value) { SetRaw(column, StringFieldText(column, value)); }

void CsvTable::SetBool(int column, bool value) { SetRaw(column, value ? "1" : "0"); }

void CsvTable::SetNull(int column) { SetRaw(column, std::string()); }

// ---- Searching and ordering -----------------------------------------------------

bool CsvTable::Locate(std::string_view name, std::string_view value) {
    const int column = FieldByName(name);
    if (!CheckBrowseMode()) return false;
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        if (ReadValue(FRows[i], column) == value) {
            FCurrent = static_cast<int>(i);
            FBof = FEof = false;
            RaiseAfterScroll();
            return true;
        }
    }
    return false;
}

void CsvTable::Sort(const std::vector<std::string>& columnNames) {
    std::vector<int> keys;
    for (const std::string& name : columnNames) keys.push_back(FieldByName(name));
    if (!CheckBrowseMode()) return;
    std::stable_sort(FRows.begin(), FRows.end(), [&](const std::string& a, const std::string& b) {
        for (int key : keys) {
            const int order = RawField(a, key).compare(RawField(b, key));
            if (order != 0) return order < 0;
        }
        return false;
    });
    FDirty = true;
    FCurrent = FRows.empty() ? -1 : 0;
    FBof = true;
    FEof = FRows.empty();
    Notify(CsvTableChange::Reset);
    if (!FRows.empty()) RaiseAfterScroll();
}

}  // namespace vb
