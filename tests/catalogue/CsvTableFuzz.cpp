// libFuzzer target for the CSV reader: the input's first byte picks the job list's or
// the definition list's columns, the rest is the file that a table opens. Every field
// of every row is read, the rows are sorted and one field is set and posted. Errors
// are expected; crashes, leaks and sanitizer reports are what the fuzzer looks for.
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalogue/CsvTable.h"
#include "catalogue/DefinitionList.h"
#include "catalogue/JobList.h"
#include "support/FuzzInput.h"
#include "util/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool jobList = (data[0] & 1) != 0;
    const auto file = vb::test::WriteFuzzInput("input.csv", data + 1, size - 1);
    vb::CsvTable table(jobList ? vb::kJobListDefinition : vb::kDefinitionListDefinition);
    table.SetFileName(file.string());
    if (jobList) table.SetUniqueKey("BEZEICHNUNG");
    try {
        table.Open();
        const int columns = static_cast<int>(table.Columns().size());
        for (int row = 0; row < table.RowCount() && row < 256; ++row) {
            for (int column = 0; column < columns; ++column) {
                (void)table.TextAt(row, column);
                (void)table.BoolAt(row, column);
            }
            (void)table.LineAt(row);
        }
        table.Sort({table.Columns().front().Name});
        if (!table.IsEmpty()) {
            table.Edit();
            table.SetText(0, table.GetText(0) + ",\"x\"");
            table.Post();
        }
    } catch (const vb::Error&) {
    }
    table.CloseDiscarding();
    return 0;
}
