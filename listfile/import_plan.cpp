#include "listfile/import_plan.h"

#include <algorithm>

#include "listfile/list_text.h"
#include "ui/text_rules.h"

namespace listfile {

using ui::OneLine;
using ui::SameIgnoringAsciiCase;
using ui::WithInserts;

namespace {

// An Add's error text and the router's texts may be long; the summary keeps one line for each.
constexpr size_t kReasonChars = 200;

// The summary's counts, in its order.
struct OutcomeCount {
    LineOutcome outcome;
    const wchar_t* words;
};
constexpr OutcomeCount kCounts[] = {{LineOutcome::Added, L"added"},
                                    {LineOutcome::AlreadyThere, L"already on the router"},
                                    {LineOutcome::Conflict, L"in conflict"},
                                    {LineOutcome::Failed, L"failed"},
                                    {LineOutcome::ToAdd, L"not tried"}};

bool SamePlace(const PortMapping& a, const PortMapping& b) {
    return a.externalPort == b.externalPort && SameIgnoringAsciiCase(a.protocol, b.protocol);
}

bool SameTarget(const PortMapping& a, const PortMapping& b) {
    return a.internalPort == b.internalPort && SameIgnoringAsciiCase(a.internalClient, b.internalClient);
}

std::wstring ClientAndPort(const PortMapping& mapping) { return mapping.internalClient + L":" + PortText(mapping.internalPort); }

std::wstring Place(const PortMapping& mapping) { return mapping.protocol + L" " + PortText(mapping.externalPort); }

// An Add's error text, without the line end and period of its own.
std::wstring Sentence(std::wstring_view reason) {
    while (!reason.empty() && (reason.back() == L'.' || reason.back() == L' ' || reason.back() == L'\r' || reason.back() == L'\n')) {
        reason.remove_suffix(1);
    }
    return OneLine(reason, kReasonChars);
}

// Why a line was not added, after its mapping.
std::wstring WhyNotAdded(const LineReport& report) {
    switch (report.outcome) {
    case LineOutcome::Added:
        return {};
    case LineOutcome::AlreadyThere:
        return L"already on the router";
    case LineOutcome::Conflict:
        return WithInserts(L"the router holds %1 for %2, left as it is",
                           {Place(report.mapping), OneLine(ClientAndPort(report.held), kReasonChars)});
    case LineOutcome::Failed:
        return report.failure.empty() ? L"failed" : L"failed: " + Sentence(report.failure);
    case LineOutcome::ToAdd:
        return L"not tried (the import was cancelled)";
    }
    return {};
}

}  // namespace

std::vector<LineReport> PlanImport(const std::vector<PortMapping>& router, const std::vector<ListedMapping>& file) {
    std::vector<LineReport> plan;
    plan.reserve(file.size());
    for (const ListedMapping& listed : file) {
        const PortMapping& wanted = listed.mapping;
        LineReport report{listed.line, wanted, LineOutcome::ToAdd};
        auto held = std::find_if(router.begin(), router.end(),
                                 [&](const PortMapping& m) { return SamePlace(m, wanted) && SameTarget(m, wanted); });
        if (held != router.end()) {
            report.outcome = LineOutcome::AlreadyThere;
        } else if ((held = std::find_if(router.begin(), router.end(), [&](const PortMapping& m) { return SamePlace(m, wanted); })) !=
                   router.end()) {
            report.outcome = LineOutcome::Conflict;
            report.held = *held;
        }
        plan.push_back(std::move(report));
    }
    return plan;
}

std::wstring MappingTarget(const PortMapping& mapping) { return Place(mapping) + L" to " + ClientAndPort(mapping); }

std::wstring AddingText(size_t position, size_t count, const PortMapping& mapping) {
    return WithInserts(L"Adding %1 of %2: %3", {std::to_wstring(position), std::to_wstring(count), MappingTarget(mapping)});
}

std::wstring ImportSummary(const std::vector<LineReport>& lines) {
    std::wstring text;
    for (const OutcomeCount& count : kCounts) {
        const auto n = std::count_if(lines.begin(), lines.end(), [&](const LineReport& r) { return r.outcome == count.outcome; });
        text += WithInserts(text.empty() ? L"%1 %2" : L", %1 %2", {std::to_wstring(n), count.words});
    }
    text += std::wstring(L".") + ui::kEol;
    std::vector<std::wstring> notAdded;
    for (const LineReport& report : lines) {
        if (report.outcome == LineOutcome::Added) continue;
        notAdded.push_back(WithInserts(L"Line %1: %2: %3.", {std::to_wstring(report.line), MappingTarget(report.mapping), WhyNotAdded(report)}));
    }
    if (!notAdded.empty()) text += ui::kEol + AtMostTen(notAdded);
    return text;
}

}  // namespace listfile
