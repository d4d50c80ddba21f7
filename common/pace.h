#pragma once

// How a paced send (a paste, a function key, a file) goes out: what the link waits for after
// each character. Typed keys never wait.
struct Pace
{
    // The serial write delay: after each character, the longest wait for it to be written, in
    // milliseconds. Below 0 counts as 0.
    int delay = 0;
};
