#include "station/StationRecord.h"

#include "station/TracePlace.h"
#include "station/TraceRecord.h"

Station::Record stationRecord(const Station &station, const QString &program) {
  Station::Record record;
  // The place is read at every use: the technician may move the record between writes.
  record.problem = [] {
    QString placeProblem;
    const QString path = TracePlace::current(&placeProblem);
    const QString problem = TraceRecord(path).problem();
    return problem.isEmpty() || placeProblem.isEmpty() ? problem : placeProblem + QLatin1Char(' ') + problem;
  };
  record.append = [&station, source = TraceSource::thisProgram(program)](const PortResult &result) {
    const StationScript &script = station.script();
    ScriptDigest digest;
    digest.bytes = script.size();
    digest.sha256 = script.sha256();
    return TraceRecord(TracePlace::current()).append(traceEntryOf(result, source, script.path(), digest));
  };
  return record;
}
