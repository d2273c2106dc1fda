#include "OrvelException.h"

CodeSource::CodeSource(const char* sourceFile, int sourceLine)
    : file(sourceFile), line(sourceLine)
{
}

OrvelException::OrvelException(oerr::ErrorCode errorCode, const CodeSource& raisedAt)
    : source(raisedAt), code(errorCode), hasDetail(false), detail(0)
{
}

OrvelException::OrvelException(oerr::ErrorCode errorCode, int errorDetail, const CodeSource& raisedAt)
    : source(raisedAt), code(errorCode), hasDetail(true), detail(errorDetail)
{
}

void assertTrue(bool condition, const CodeSource& source)
{
    if (!condition)
        throw OrvelException(oerr::AssertionFailed, source);
}
