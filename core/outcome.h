#pragma once
// How one device operation (a log-in, a paged transfer, a single command)
// ended. Every operation ends exactly once with one of these; the window turns
// it into the message the user sees, varnel-cli into its exit status.

enum class OpOutcome {
    Ok,
    Refused,        // the device answered "no" (first payload byte not 1)
    TimedOut,       // no usable answer, also after the retry
    InvalidData,    // answers that failed their checksum, were cut or short, twice
    Cancelled,      // Stop / Esc
    CheckFailed,    // the data was refused before anything was sent
    Mismatch,       // the read-back after a save differs from what was sent
    WrongPassword,  // the log-in found another password
    LinkLost,       // the port went away or was closed
    Busy,           // another operation was still running; nothing was sent
};

// A short English name ("timed out"), for logs and the command line.
const char* outcomeName(OpOutcome outcome);
