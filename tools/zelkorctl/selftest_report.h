#pragma once
// The self-test's rows as a table for people and as JSON for scripts.

#include <cstdio>
#include <string>
#include <vector>

#include "selftest.h"

namespace zkctl::selftest {

struct Row {
    std::string module;
    Outcome outcome;
    bool summary = false;  // the whole run's comparison: neither applies nor restores
};

void printTableHeader(std::FILE* out);
// The row's line, then one indented line per difference: name, before, after.
void printRow(std::FILE* out, const Row& row);
// One object with "machine", "failed" and "rows"; each row on a line of its own.
void writeJson(std::FILE* out, const std::vector<Row>& rows, bool machine);
// The line that says what was recorded before the rows.
std::string describeRecorded(const MachineSnapshot& s);

}  // namespace zkctl::selftest
