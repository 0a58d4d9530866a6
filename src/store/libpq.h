#pragma once

// libpq, the PostgreSQL client library Qt's driver uses, called directly where the program
// needs what the driver does not offer: statements sent together in one round trip (libpq's
// pipeline), their values bound as values. The library is the one the driver depends on,
// looked up by name when first needed: nothing links it.

struct pg_conn;
struct pg_result;

namespace tallic {

using PGconn = pg_conn;
using PGresult = pg_result;

struct PqCalls
{
    PGconn *(*connectdb)(const char *conninfo);
    int (*status)(const PGconn *);
    char *(*errorMessage)(const PGconn *);
    void (*finish)(PGconn *);
    int (*enterPipelineMode)(PGconn *);
    int (*exitPipelineMode)(PGconn *);
    int (*pipelineSync)(PGconn *);
    int (*sendQueryParams)(PGconn *, const char *command, int nParams, const unsigned *types,
                           const char *const *values, const int *lengths, const int *formats,
                           int resultFormat);
    PGresult *(*getResult)(PGconn *);
    int (*resultStatus)(const PGresult *);
    char *(*resultErrorMessage)(const PGresult *);
    char *(*resultErrorField)(const PGresult *, int field);
    int (*ntuples)(const PGresult *);
    int (*nfields)(const PGresult *);
    char *(*fname)(const PGresult *, int column);
    unsigned (*ftype)(const PGresult *, int column);
    char *(*getvalue)(const PGresult *, int row, int column);
    int (*getisnull)(const PGresult *, int row, int column);
    int (*getlength)(const PGresult *, int row, int column);
    char *(*cmdTuples)(PGresult *);
    void (*clear)(PGresult *);
    // A statement alone, and the copy of rows in and out (tallic-club's copies).
    PGresult *(*exec)(PGconn *, const char *command);
    int (*putCopyData)(PGconn *, const char *buffer, int bytes);
    int (*putCopyEnd)(PGconn *, const char *error);
    int (*getCopyData)(PGconn *, char **buffer, int async);
    void (*freemem)(void *);
};

// The calls; null when the library is not on this machine.
const PqCalls *libpq();

// The values of libpq's enumerations that the program tells apart.
namespace Pq {
constexpr int ConnectionOk = 0; // CONNECTION_OK
constexpr int CommandOk = 1; // PGRES_COMMAND_OK
constexpr int TuplesOk = 2; // PGRES_TUPLES_OK
constexpr int CopyOut = 3; // PGRES_COPY_OUT
constexpr int CopyIn = 4; // PGRES_COPY_IN
constexpr int PipelineSync = 10; // PGRES_PIPELINE_SYNC
constexpr int PipelineAborted = 11; // PGRES_PIPELINE_ABORTED
constexpr int DiagSqlState = 'C'; // PG_DIAG_SQLSTATE
} // namespace Pq

} // namespace tallic
