-- definition []
CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, data DATE, codice TEXT CHECK (codice NOT GLOB '*[^0-9]*'), n INTEGER CHECK (typeof(n) = 'integer' AND n > 0)) WITHOUT ROWID

-- definition []
CREATE INDEX t_data ON t (data)

-- dropTrigger []
DROP TRIGGER IF EXISTS t_insert

-- calendarDate []
date(data, '+0 days') IS data

-- joinInWrittenOrder []
CROSS JOIN

-- storedName []
idRegMain

-- objectExists [trigger, t_insert]
SELECT 1 FROM sqlite_master WHERE type = ? AND lower(name) = lower(?)

-- triggerNames []
SELECT name FROM sqlite_master WHERE type = 'trigger'

-- tableColumns [regmain]
SELECT name FROM pragma_table_info(?)

-- columnType [conti, descrizione]
SELECT type FROM pragma_table_info(?) WHERE lower(name) = lower(?)

-- schemaObjects []
SELECT type, name, sql, 0 FROM sqlite_master WHERE type IN ('trigger', 'view', 'index') AND sql IS NOT NULL

-- tableCount []
SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'

-- beginWrite []
BEGIN IMMEDIATE

-- beginSnapshot []
BEGIN

-- firstRead []
SELECT COUNT(*) FROM sqlite_master

-- lock []
(none)

-- lock []
(none)

-- lock []
(none)

-- lock []
(none)

-- idsFollowRows []
yes

-- highestIdGiven [regmain]
SELECT seq FROM sqlite_sequence WHERE name = ?

-- setHighestIdGiven [regmain]
DELETE FROM sqlite_sequence WHERE name = ?

-- setHighestIdGiven [regmain, 41]
INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)

-- reserveIds [3, regmain]
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) SELECT MAX(COALESCE((SELECT seq FROM sqlite_sequence WHERE name = ?), 0), COALESCE((SELECT MAX(id) FROM regmain), 0)) + i FROM n ORDER BY i

-- tablesWithIds []
SELECT name FROM sqlite_sequence

-- beforeManyRows []
PRAGMA cache_size = -131072
