// Format-manager error codes and messages.
//
// In the style of jerror.h: the codes and their messages are one list,
// FM_ERROR_LIST, expanded once into the enum below and once into the message
// table of fm_error.cpp, so the two can never drift apart. A code's value is
// its position in the list.
//
// Rule of every format-manager operation: a code is stored in fm_errno only
// while fm_errno is still 0 (fm_seterrno), so the first failure's cause
// survives until the caller reads and clears it.
#pragma once

#define FM_ERROR_LIST(FMMESSAGE)                                                                   \
    FMMESSAGE(FM_NOERROR, "No error")                        /*  0 */                              \
    FMMESSAGE(FM_EUNDEF, "Undefined error")                  /*  1 */                              \
    FMMESSAGE(FM_EMEMORY, "A memory allocation failed")      /*  2 */                              \
    FMMESSAGE(FM_EUNSPEC, "Program: Unspec")                 /*  3 */                              \
    FMMESSAGE(FM_ENULLFF, "Program: NULL FF")                /*  4 */                              \
    FMMESSAGE(FM_ENOCONV, "Program: No conversion possible") /*  5 */                              \
    FMMESSAGE(FM_EMODE, "Program: Illegal file mode")        /*  6 */                              \
    FMMESSAGE(FM_ECALLBACK, "Program: Callback missing")     /*  7 */                              \
    FMMESSAGE(FM_EBUFNULL, "Program: Buffer null")           /*  8 */                              \
    FMMESSAGE(FM_EBUFSIZE, "Program: Buffer size missmatch") /*  9 */                              \
    FMMESSAGE(FM_ENULLHANDLE, "Program: Null handle")        /* 10 */                              \
    FMMESSAGE(FM_ECREATE, "File access: Create failed")      /* 11 */                              \
    FMMESSAGE(FM_EOPEN, "File access: Open failed")          /* 12 */                              \
    FMMESSAGE(FM_ESEEK, "File access: Seek failed")          /* 13 */                              \
    FMMESSAGE(FM_EREAD, "File access: Read failed")          /* 14 */                              \
    FMMESSAGE(FM_EWRITE, "File access: Write failed")        /* 15 */                              \
    FMMESSAGE(FM_EFILENAME, "File access: File name")        /* 16 */                              \
    FMMESSAGE(FM_EFORMAT, "Format:")                         /* 17 */                              \
    FMMESSAGE(FM_EPAGE, "Format: Illegal page")              /* 18 */                              \
    FMMESSAGE(FM_ENULLFM, "Program: Null fm handle")         /* 19 */                              \
    FMMESSAGE(FM_ESTAT, "File access: Stat failed")          /* 20 */                              \
    FMMESSAGE(FM_ETRUNCATE, "File access: Truncate failed")  /* 21 */

enum fm_error_code {
#define FM_ERROR_ENUM(code, text) code,
    FM_ERROR_LIST(FM_ERROR_ENUM)
#undef FM_ERROR_ENUM
        FM_ERROR_COUNT // number of codes; fm_errorstr of this and above is "to high"
};

// The code of the first failure since the caller last cleared it.
extern int fm_errno;

// Stores code in fm_errno when fm_errno is 0; returns 1 (the failure result),
// so a failing path can end with `return fm_seterrno(FM_EREAD);`.
int fm_seterrno(int code);

// Message of a code; codes outside 0 .. FM_ERROR_COUNT-1 give
// "Error code to high to print".
const char *fm_errorstr(int code);

// Prints "Error code  %d : %s : %s\n" on standard error (code, message, text,
// an empty text when null); when errno is set, also the system's message for
// text (as perror does).
void fm_errorprint(int code, const char *text);
