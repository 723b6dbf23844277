// Ending the tool cleanly when the producer shrinks the block while the capture reads it.
//
// Reading a page of a mapping beyond the end of its shrunken object raises SIGBUS, which would end
// the tool with no word. While a BlockReadGuard lives, a SIGBUS instead writes one critical line in
// the logger's layout ("[date time] [critical] [file:line] ...") to standard output, naming the block
// and saying that it shrank while it was read, and ends the process with exit status 1; what the
// capture left in the output directory is removed by the next capture. The line is formatted when the
// guard is made, so that the handler only writes and exits (both async-signal-safe). The previous
// handling is restored by the destructor. One guard at a time; elsewhere than Linux it does nothing.
#pragma once

class BlockReadGuard
{
public:
    explicit BlockReadGuard(const char* blockName);
    ~BlockReadGuard();
    BlockReadGuard(const BlockReadGuard&) = delete;
    BlockReadGuard& operator=(const BlockReadGuard&) = delete;
};
