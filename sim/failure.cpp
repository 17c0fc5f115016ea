#include "sim/failure.h"

#include <new>
#include <ostream>
#include <tuple>

#include "sim/printable.h"

// Names from outside are escaped, not cut, so that the reason at the end stays.
int ReportCurrentError(std::ostream &err) {
    std::string message = "internal error: an exception of unknown type";
    int status = exitInternalError;
    try {
        throw;
    } catch (const Failure &error) {
        std::tie(message, status) = std::pair(error.what(), error.status);
    } catch (const GameError &error) {
        std::tie(message, status) = std::pair(error.what(), ExitStatus(error));
    } catch (const std::bad_alloc &) {
        std::tie(message, status) = std::pair("out of memory", exitBadInput);
    } catch (const std::runtime_error &error) { // what the system refused, a folder say
        std::tie(message, status) = std::pair(error.what(), exitBadInput);
    } catch (const std::exception &error) {
        message = std::string("internal error: ") + error.what();
    } catch (...) {
    }
    err << "pfe-sim: " << Printable(message, std::string::npos) << "\n";
    return status;
}
