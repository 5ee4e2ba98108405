#include "tools/common/FlushedOutput.h"

#include <cerrno>
#include <cstring>

namespace poll {

namespace {

int ErrnoOr(int fallback) {
    return errno != 0 ? errno : fallback;
}

}  // namespace

int PrintFlushed(const std::string& text, std::FILE* out) {
    errno = 0;
    if (std::fputs(text.c_str(), out) >= 0 && std::fflush(out) == 0) {
        return 0;
    }
    return ErrnoOr(EIO);
}

int FinishOutput(const char* program, int status, int outputError) {
    errno = 0;
    if (std::fflush(stdout) != 0 && outputError == 0) {
        outputError = ErrnoOr(EIO);
    }
    if (std::ferror(stdout) != 0 && outputError == 0) {
        outputError = EIO;
    }
    errno = 0;
    if (std::fclose(stdout) != 0 && outputError == 0) {
        outputError = ErrnoOr(EIO);
    }
    if (outputError == 0) {
        return status;
    }
    std::fprintf(stderr, "%s: write error: %s\n", program, std::strerror(outputError));
    return status == 0 ? 1 : status;
}

}  // namespace poll
