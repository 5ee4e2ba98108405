#pragma once

#include <signal.h>
#include <initializer_list>
#include <vector>

// Turns signals into bytes on a pipe, so that an event loop takes them as it takes input and
// handles them on its own thread, where anything may be called. The first of each signal also
// brings back its default action: a second one ends the process should the orderly end hang.
// One instance at a time.
class CSignalPipe {
public:
    explicit CSignalPipe(std::initializer_list<int> numbers);
    ~CSignalPipe();  // the previous actions come back
    CSignalPipe(const CSignalPipe&) = delete;
    CSignalPipe& operator=(const CSignalPipe&) = delete;

    // The end to watch for input; -1 when the pipe could not be made (the signals then keep
    // their actions).
    int ReadFd() const { return m_readFd; }
    // The last signal that came, 0 when none; empties the pipe.
    int Take();

private:
    int m_readFd = -1;
    std::vector<std::pair<int, struct sigaction>> m_previous;
};
