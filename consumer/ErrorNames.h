/* The names of the GenTL error codes, usable from C and C++. */
#ifndef QUARVO_CONSUMER_ERROR_NAMES_H
#define QUARVO_CONSUMER_ERROR_NAMES_H

#include "gentl/GenTL.h"

#ifdef __cplusplus
extern "C" {
#endif

/* "GC_ERR_TIMEOUT" for GC_ERR_TIMEOUT; "GC_ERR_UNKNOWN" for a code the standard does not list. */
const char* quarvo_error_code_name(GC_ERROR code);

#ifdef __cplusplus
}
#endif

#endif
