#pragma once
// The import's merge and its report: pure functions over the router's records and the file's.
#include <cstddef>
#include <string>
#include <vector>

#include "listfile/mapping_file.h"
#include "natcfg/port_mapping.h"

namespace listfile {

enum class LineAction { Add, AlreadyThere, Conflict };

// held: the router's mapping on that protocol and external port (AlreadyThere, Conflict).
struct PlannedLine {
    ListedMapping listed;
    LineAction action;
    PortMapping held;
};

// What to do with each line of the file, in file order, against what the router holds now: the same
// protocol and external port with the same internal client (ASCII case-insensitive) and internal port is
// already there (description and enabled do not matter); the same protocol and external port for another
// target is a conflict, never overwritten; the rest is added. Protocols compare case-insensitively.
std::vector<PlannedLine> PlanImport(const std::vector<PortMapping>& router, const std::vector<ListedMapping>& file);

enum class LineOutcome { Added, AlreadyThere, Conflict, Failed, NotTried };

// reason: for Failed, why the Add failed (its error text); for Conflict, the target the router holds
// there ("192.0.2.30:3074"); empty otherwise.
struct LineReport {
    size_t line;
    PortMapping mapping;
    LineOutcome outcome;
    std::wstring reason;
};

// The reports before any Add: the lines to add as NotTried (the import sets Added or Failed as it goes,
// so a Cancel leaves the rest not tried), the others with their outcome and, for a conflict, its reason.
std::vector<LineReport> ReportsBeforeAdding(const std::vector<PlannedLine>& plan);

// "TCP 8080 to 192.0.2.20:80"
std::wstring MappingTarget(const PortMapping& mapping);

// "Adding 12 of 50: TCP 8080 to 192.0.2.20:80" (position counted from 1)
std::wstring AddingText(size_t position, size_t count, const PortMapping& mapping);

// The import's summary: "5 added, 0 already on the router, 0 in conflict, 0 failed, 0 not tried."; then,
// when any line was not added, a blank line and those lines with why, at most ten, then "... and N more".
// Each line ends in "\r\n".
std::wstring ImportSummary(const std::vector<LineReport>& lines);

}  // namespace listfile
