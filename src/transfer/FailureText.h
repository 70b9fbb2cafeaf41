#pragma once
// The short text that follows a failed file in a failure message, or explains a failed login.
#include "TransferFailure.h"

// UTF-8, the source text of its translation in the context "FailureText"; empty for
// FAILURE_NONE and for a number no failure has.
const char* FailureText(ETransferFailure eFailure);
