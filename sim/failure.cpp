#include "sim/failure.h"

#include <new>
#include <ostream>

int ReportCurrentError(std::ostream &err) {
    try {
        throw;
    } catch (const Failure &error) {
        err << "pfe-sim: " << error.what() << "\n";
        return error.status;
    } catch (const GameError &error) {
        err << "pfe-sim: " << error.what() << "\n";
        return ExitStatus(error);
    } catch (const std::bad_alloc &) {
        err << "pfe-sim: out of memory\n";
        return exitBadInput;
    } catch (const std::runtime_error &error) { // what the system refused, a folder say
        err << "pfe-sim: " << error.what() << "\n";
        return exitBadInput;
    } catch (const std::exception &error) {
        err << "pfe-sim: internal error: " << error.what() << "\n";
        return exitInternalError;
    } catch (...) {
        err << "pfe-sim: internal error: an exception of unknown type\n";
        return exitInternalError;
    }
}
