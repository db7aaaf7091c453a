#pragma once
// Helpers shared by the configurator tests: the progress log and box checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "natcfg/portolan.h"
#include "tests/fakes/fake_nat.h"
#include "tests/fakes/message_box_recorder.h"

namespace natcfg_test {

// Every progress code in order, since the last Clear.
extern std::vector<int32_t> progress;
void RecordProgress(int32_t code);

// The box at index has this text, caption and type and no owner.
testing::AssertionResult BoxIs(const fakes::MessageBoxRecorder& recorder, size_t index, const std::string& text,
                               const std::string& caption, UINT type);

// The records' external ports, in list order: a compact picture of the list.
std::vector<int32_t> ExternalPorts(const Portolan& configurator);

// The lists are parallel: the object at i is the one the record at i was read from.
testing::AssertionResult ListsMatch(const Portolan& configurator, const std::vector<fakes::FakeMapping*>& expected);

}  // namespace natcfg_test
