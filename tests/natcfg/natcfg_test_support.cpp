#include "tests/natcfg/natcfg_test_support.h"

namespace natcfg_test {

std::vector<int32_t> progress;

void RecordProgress(int32_t code) { progress.push_back(code); }

testing::AssertionResult BoxIs(const fakes::MessageBoxRecorder& recorder, size_t index, const std::string& text,
                               const std::string& caption, UINT type) {
    if (index >= recorder.boxes.size()) {
        return testing::AssertionFailure() << "only " << recorder.boxes.size() << " boxes shown";
    }
    const fakes::Box& box = recorder.boxes[index];
    if (box.text != text || box.caption != caption || box.type != type || box.owner != nullptr) {
        return testing::AssertionFailure() << "box " << index << " is \"" << box.text << "\" / \"" << box.caption
                                           << "\" type " << box.type << " owner " << box.owner;
    }
    return testing::AssertionSuccess();
}

std::vector<int32_t> ExternalPorts(const Portolan& configurator) {
    std::vector<int32_t> ports;
    for (const PortMapping& mapping : configurator.mappings) ports.push_back(mapping.externalPort);
    return ports;
}

testing::AssertionResult ListsMatch(const Portolan& configurator,
                                    const std::vector<fakes::FakeMapping*>& expected) {
    if (configurator.mappings.size() != expected.size() || configurator.mappingObjects.size() != expected.size()) {
        return testing::AssertionFailure() << configurator.mappings.size() << " records and "
                                           << configurator.mappingObjects.size() << " objects, expected "
                                           << expected.size();
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (configurator.mappingObjects[i].Get() != expected[i]) {
            return testing::AssertionFailure() << "object " << i << " is not the expected mapping";
        }
        if (configurator.mappings[i].externalPort != expected[i]->values.externalPort ||
            configurator.mappings[i].internalClient != expected[i]->values.internalClient) {
            return testing::AssertionFailure() << "record " << i << " was not read from object " << i;
        }
    }
    return testing::AssertionSuccess();
}

}  // namespace natcfg_test
