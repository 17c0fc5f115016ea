// Fuzz target: the session-script reader. Any text must either parse or be refused with a
// Failure that names the file and a line ("FILE:LINE: why"); anything else (a crash, an
// uncaught exception, undefined behaviour, a leak) is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/session_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        const Script script = ParseScriptText("fuzz.session", text);
        for (const ScriptStep &step : script.steps)
            if (script.file != "fuzz.session" || step.line < 1 || !step.run)
                std::abort(); // a step that cannot say where it came from, or does nothing
    } catch (const Failure &error) {
        const std::string message = error.what();
        const std::string prefix = "fuzz.session:";
        if (error.status != exitBadInput || message.compare(0, prefix.size(), prefix) != 0 ||
            message.size() <= prefix.size() || message[prefix.size()] < '0' ||
            message[prefix.size()] > '9')
            std::abort(); // an error that does not say where
    }
    return 0;
}
