// libFuzzer target for the list's file reader: any bytes read without a crash or a sanitizer report, and a
// file that reads without faults comes back record for record after it is written with either separator,
// unless its export passes a limit of the import (and only then).
#include <algorithm>
#include <cstdint>
#include <tuple>
#include <cstdlib>
#include <string>
#include <string_view>

#include "listfile/import_plan.h"
#include "listfile/mapping_file.h"
#include "tests/listfile/listfile_test_support.h"

namespace {

auto Fields(const listfile::ListedMapping& l) {
    const PortMapping& m = l.mapping;
    return std::tie(m.protocol, m.externalPort, m.internalClient, m.internalPort, m.enabled, m.description);
}

bool SameRecords(const std::vector<listfile::ListedMapping>& a, const std::vector<listfile::ListedMapping>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](auto& x, auto& y) { return Fields(x) == Fields(y); });
}

std::vector<PortMapping> Records(const std::vector<listfile::ListedMapping>& listed) {
    std::vector<PortMapping> records;
    for (const listfile::ListedMapping& l : listed) records.push_back(l.mapping);
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const listfile::ReadResult read = listfile::ReadMappingList(bytes, Latin1);
    if (!read.faults.empty()) {
        if (!read.mappings.empty() || listfile::FaultList(read.faults).empty()) abort();
        return 0;
    }
    for (char separator : {',', ';'}) {
        const std::string written = listfile::WriteMappingList(Records(read.mappings), separator);
        const listfile::ReadResult again = listfile::ReadMappingList(written, Latin1);
        // The export refuses its file exactly where the import would refuse it for passing a limit.
        const bool refused = !listfile::ExportRefusal(written).empty();
        const bool limited = again.faults.size() == 1 && again.faults[0].line == 0;
        if (refused != limited || (!refused && (!again.faults.empty() || !SameRecords(read.mappings, again.mappings)))) abort();
    }
    // Against itself every line is already there.
    const std::vector<listfile::LineReport> plan = listfile::PlanImport(Records(read.mappings), read.mappings);
    for (const listfile::LineReport& line : plan) {
        if (line.outcome != listfile::LineOutcome::AlreadyThere) abort();
    }
    if (listfile::ImportSummary(plan).empty()) abort();
    return 0;
}
