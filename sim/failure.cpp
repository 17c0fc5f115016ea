#include "sim/failure.h"

#include <new>
#include <ostream>

#include "sim/printable.h"

// Messages may carry names from outside (a module's path, say): no control byte reaches the
// terminal raw, but nothing is cut, so the reason at the end stays.
int ReportCurrentError(std::ostream &err) {
    const auto shown = [](const std::exception &error) {
        return Printable(error.what(), std::string::npos);
    };
    try {
        throw;
    } catch (const Failure &error) {
        err << "pfe-sim: " << shown(error) << "\n";
        return error.status;
    } catch (const GameError &error) {
        err << "pfe-sim: " << shown(error) << "\n";
        return ExitStatus(error);
    } catch (const std::bad_alloc &) {
        err << "pfe-sim: out of memory\n";
        return exitBadInput;
    } catch (const std::runtime_error &error) { // what the system refused, a folder say
        err << "pfe-sim: " << shown(error) << "\n";
        return exitBadInput;
    } catch (const std::exception &error) {
        err << "pfe-sim: internal error: " << shown(error) << "\n";
        return exitInternalError;
    } catch (...) {
        err << "pfe-sim: internal error: an exception of unknown type\n";
        return exitInternalError;
    }
}
