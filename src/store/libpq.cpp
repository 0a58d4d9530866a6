#include "libpq.h"

#include <dlfcn.h>

namespace tallic {

namespace {

template<typename Function> bool find(void *library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

bool findAll(void *library, PqCalls &c)
{
    return find(library, "PQconnectdb", c.connectdb) && find(library, "PQstatus", c.status)
        && find(library, "PQerrorMessage", c.errorMessage) && find(library, "PQfinish", c.finish)
        && find(library, "PQenterPipelineMode", c.enterPipelineMode)
        && find(library, "PQexitPipelineMode", c.exitPipelineMode)
        && find(library, "PQpipelineSync", c.pipelineSync)
        && find(library, "PQsendQueryParams", c.sendQueryParams)
        && find(library, "PQgetResult", c.getResult)
        && find(library, "PQresultStatus", c.resultStatus)
        && find(library, "PQresultErrorMessage", c.resultErrorMessage)
        && find(library, "PQresultErrorField", c.resultErrorField)
        && find(library, "PQntuples", c.ntuples) && find(library, "PQnfields", c.nfields)
        && find(library, "PQfname", c.fname) && find(library, "PQftype", c.ftype)
        && find(library, "PQgetvalue", c.getvalue) && find(library, "PQgetisnull", c.getisnull)
        && find(library, "PQgetlength", c.getlength) && find(library, "PQcmdTuples", c.cmdTuples)
        && find(library, "PQclear", c.clear) && find(library, "PQexec", c.exec)
        && find(library, "PQputCopyData", c.putCopyData)
        && find(library, "PQputCopyEnd", c.putCopyEnd)
        && find(library, "PQgetCopyData", c.getCopyData) && find(library, "PQfreemem", c.freemem);
}

} // namespace

const PqCalls *libpq()
{
    static const PqCalls *const found = []() -> const PqCalls * {
        // The library stays loaded for the run: the handle is never closed.
        void *library = dlopen("libpq.so.5", RTLD_NOW);
        static PqCalls calls;
        return library && findAll(library, calls) ? &calls : nullptr;
    }();
    return found;
}

} // namespace tallic
