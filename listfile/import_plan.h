#pragma once
// The import's plan and report in one: a line report for each mapping of the file, planned against
// what the router holds and brought up to date by the import as it adds. Pure functions.
#include <cstddef>
#include <string>
#include <vector>

#include "listfile/mapping_file.h"
#include "natcfg/port_mapping.h"

namespace listfile {

// ToAdd is what the plan gives a line the router lacks; one the import left so (a Cancel) was not tried.
enum class LineOutcome { ToAdd, Added, AlreadyThere, Conflict, Failed };

struct LineReport {
    size_t line;
    PortMapping mapping;
    LineOutcome outcome;
    PortMapping held = {};      // Conflict: the router's mapping on that protocol and external port
    std::wstring failure = {};  // Failed: why the Add failed (its error text)
};

// Each line of the file, in file order, against what the router holds now: the same protocol and
// external port with the same internal client (ASCII case-insensitive) and internal port is already
// there (description and enabled do not matter); the same protocol and external port for another
// target is a conflict, never overwritten; the rest is to add. Protocols compare case-insensitively.
std::vector<LineReport> PlanImport(const std::vector<PortMapping>& router, const std::vector<ListedMapping>& file);

// "TCP 8080 to 192.0.2.20:80"
std::wstring MappingTarget(const PortMapping& mapping);

// "Adding 12 of 50: TCP 8080 to 192.0.2.20:80" (position counted from 1)
std::wstring AddingText(size_t position, size_t count, const PortMapping& mapping);

// The import's summary: "5 added, 0 already on the router, 0 in conflict, 0 failed, 0 not tried."; then,
// when any line was not added, a blank line and those lines with why, at most ten, then "... and N more".
// Each line ends in "\r\n".
std::wstring ImportSummary(const std::vector<LineReport>& lines);

}  // namespace listfile
