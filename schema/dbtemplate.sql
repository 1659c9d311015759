-- The empty day database that every location folder of every day receives
-- before the rebuild writes its rows. Times are whole seconds since
-- 1970-01-01 UTC, zones are the 15-minute zone codes, the daylight-saving
-- columns are 0 or 1. No key or constraint: the rebuild's rows are taken as
-- they come.

-- One row per stretch of recording without a gap.
CREATE TABLE TimeInterval (
    IntervalSerial      INTEGER,
    StartRecordTime     INTEGER,
    StartRecordTimeMSec INTEGER,
    EndRecordTime       INTEGER,
    EndRecordTimeMSec   INTEGER,
    RecordTimeZone      INTEGER,
    RecordDLSaving      INTEGER,
    StartCameraTime     INTEGER,
    StartCameraTimeMSec INTEGER,
    EndCameraTime       INTEGER,
    EndCameraTimeMSec   INTEGER,
    CameraTimeZone      INTEGER,
    CameraDLSaving      INTEGER
);

-- One row per readable recording file; PathName is the file name only.
CREATE TABLE MediaFileDiskMap (
    MFSerial            INTEGER,
    IntervalSerial      INTEGER,
    PathName            TEXT,
    StartRecordTime     INTEGER,
    StartRecordTimeMSec INTEGER,
    EndRecordTime       INTEGER,
    EndRecordTimeMSec   INTEGER,
    StartCameraTime     INTEGER,
    StartCameraTimeMSec INTEGER,
    EndCameraTime       INTEGER,
    EndCameraTimeMSec   INTEGER
);
