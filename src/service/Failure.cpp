#include "Failure.h"

const char* FailureName(Failure failure) {
    switch (failure) {
        case Failure::None:
            return "none";
        case Failure::InvalidRequest:
            return "invalid request";
        case Failure::Connection:
            return "connection";
        case Failure::Tls:
            return "TLS";
        case Failure::IdleTimeout:
            return "idle time-out";
        case Failure::TotalTimeout:
            return "total time-out";
        case Failure::TooSlow:
            return "too slow";
        case Failure::HttpStatus:
            return "HTTP status";
        case Failure::TooLarge:
            return "too large";
        case Failure::Cancelled:
            return "cancelled";
        case Failure::Refused:
            return "refused by the receiver";
        case Failure::Malformed:
            return "malformed";
        case Failure::NotAReply:
            return "not a reply";
    }
    return "unknown";
}
