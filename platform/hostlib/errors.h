#pragma once

// Errors raised by the host's utility services.

#include "platform/toolkit/data/variant.h"

namespace host {

// A host service could not do what it was asked: a bad module code, a missing module library or
// entry, an unknown branch or table, a query parameter without a value.
class EHostError : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

// The application server reported a failure inside a checked result, or answered with a result
// whose shape is not the checked shape.
class EServerError : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

} // namespace host
