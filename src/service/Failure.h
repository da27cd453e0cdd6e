#pragma once
// Why the last operation of a service component failed. The results the program acts on stay
// true or false; this is for tests and diagnostics, so a failure is known to be the one meant.

enum class Failure {
    None,
    InvalidRequest,  // conditions that make no request (no publisher, no URL, nothing to search)
    Connection,      // no connection, a refused or broken one, a bad URL
    Tls,             // the https peer's certificate did not verify, or no secure channel
    IdleTimeout,     // no data for the read time-out
    TotalTimeout,    // the whole call ran out of time
    TooSlow,         // less than the minimum rate over a window
    HttpStatus,      // an answer other than 2xx
    TooLarge,        // the body passed its limit
    Cancelled,       // the window closed
    Refused,         // the receiver of a streamed body could not take it
    Malformed,       // the body is no well-formed document
    NotAReply,       // a document without what a reply must hold
};

const char* FailureName(Failure failure);
