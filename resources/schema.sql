-- The empty archive: every new archive's database is a copy of the file built from this script.
-- Amounts are integer ten-thousandths; dates are ISO text (YYYY-MM-DD); ids never get reused.

CREATE TABLE mastri (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    descrizione VARCHAR(100) NOT NULL DEFAULT '' CHECK (length(descrizione) <= 100),
    gruppo      VARCHAR(100) CHECK (gruppo IS NULL OR length(gruppo) <= 100),
    tipo        INTEGER NOT NULL CHECK (tipo IN (0, 1, 2, 3, 4)),
    prefisso    VARCHAR(3) NOT NULL
                CHECK (length(prefisso) = 3 AND prefisso NOT GLOB '*[^0-9A-Z]*')
);
CREATE INDEX mastri_prefisso ON mastri (prefisso);

CREATE TABLE conti (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    idMastro    INTEGER NOT NULL REFERENCES mastri (id) ON DELETE RESTRICT,
    prefisso    VARCHAR(6) NOT NULL UNIQUE
                CHECK (length(prefisso) = 6 AND prefisso NOT GLOB '*[^0-9A-Z]*'),
    descrizione VARCHAR(100) NOT NULL DEFAULT '' CHECK (length(descrizione) <= 100),
    bilancio    INTEGER NOT NULL DEFAULT 0 CHECK (bilancio IN (0, 1)),
    liquidita   INTEGER NOT NULL DEFAULT 0 CHECK (liquidita IN (0, 1))
);
CREATE INDEX conti_idMastro ON conti (idMastro);

CREATE TABLE sottoconti (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    idConto     INTEGER NOT NULL REFERENCES conti (id) ON DELETE RESTRICT,
    descrizione VARCHAR(100) NOT NULL DEFAULT '' CHECK (length(descrizione) <= 100),
    note        TEXT
);
CREATE INDEX sottoconti_idConto ON sottoconti (idConto);

CREATE TABLE regmain (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    data        DATE NOT NULL CHECK (data GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'
                                     AND date(data, '+0 days') = data),
    progressivo INTEGER,
    tipo        INTEGER NOT NULL DEFAULT 0 CHECK (tipo IN (-1, 0, 1)),
    attached    VARCHAR(255),
    descrizione VARCHAR(255),
    versione    INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX regmain_data_id ON regmain (data, id);
-- versione counts the writes of an entry: a change is written only over the version it was
-- read at, so that one user never overwrites what another saved meanwhile.

CREATE TABLE regdet (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    idRegMain   INTEGER NOT NULL REFERENCES regmain (id) ON DELETE CASCADE,
    riga        INTEGER NOT NULL DEFAULT 0,
    contodare   INTEGER REFERENCES sottoconti (id) ON DELETE RESTRICT,
    contoavere  INTEGER REFERENCES sottoconti (id) ON DELETE RESTRICT,
    importo     INTEGER NOT NULL CHECK (typeof(importo) = 'integer' AND importo <> 0),
    descrizione VARCHAR(255) NOT NULL DEFAULT '',
    CHECK (contodare IS NOT NULL OR contoavere IS NOT NULL)
);
CREATE INDEX regdet_idRegMain_riga ON regdet (idRegMain, riga);
CREATE INDEX regdet_contodare ON regdet (contodare);
CREATE INDEX regdet_contoavere ON regdet (contoavere);

CREATE TABLE parametri (
    chiave VARCHAR(50) NOT NULL PRIMARY KEY,
    valore TEXT
);

-- The monthly totals of each sub-account (saldi_mese) and the triggers that keep them are added
-- by the generator of the empty archive, with the code that adds them to older archives.

-- One line per filled side of an entry row. saldo is signed by nature (dare - avere for
-- memorandum, assets and liabilities; avere - dare for costs and revenues); saldo2 is on the
-- nature's normal side. contropartita names the other side: the row's own other sub-account,
-- else the entry's only sub-account on the opposite side, else 'Diversi'.
CREATE VIEW schede AS
SELECT
    s.conto            AS conto,
    c.id               AS cId,
    s.idRegMain        AS rmId,
    s.rdId             AS rdId,
    s.riga             AS riga,
    s.data             AS data,
    s.progressivo      AS progressivo,
    s.tipo             AS tipo,
    s.versione         AS versione,
    s.descrizione      AS descrizione,
    s.dare             AS dare,
    s.avere            AS avere,
    COALESCE(
        (SELECT so2.descrizione FROM sottoconti so2 WHERE so2.id = s.altroConto),
        CASE WHEN s.dare <> 0
        THEN (SELECT CASE WHEN COUNT(DISTINCT r.contoavere) > 1 THEN 'Diversi' ELSE MAX(x.descrizione) END
                FROM regdet r JOIN sottoconti x ON x.id = r.contoavere
               WHERE r.idRegMain = s.idRegMain)
        ELSE (SELECT CASE WHEN COUNT(DISTINCT r.contodare) > 1 THEN 'Diversi' ELSE MAX(x.descrizione) END
                FROM regdet r JOIN sottoconti x ON x.id = r.contodare
               WHERE r.idRegMain = s.idRegMain)
        END) AS contropartita,
    CASE WHEN m.tipo IN (3, 4) THEN s.avere - s.dare ELSE s.dare - s.avere END AS saldo,
    CASE WHEN m.tipo IN (2, 4) THEN s.avere - s.dare ELSE s.dare - s.avere END AS saldo2,
    m.tipo             AS mTipo,
    m.gruppo           AS mGruppo,
    m.prefisso         AS mPrefisso,
    m.descrizione      AS mDescrizione,
    c.prefisso         AS cPrefisso,
    c.descrizione      AS cDescrizione,
    c.bilancio         AS bilancio,
    so.descrizione     AS sDescrizione
-- The header is joined inside each branch so that a filter on the date reaches the index of
-- the headers instead of reading every row of the archive.
FROM (SELECT rd.id AS rdId, rd.idRegMain, rd.riga, rd.contodare AS conto, rd.contoavere AS altroConto,
             rd.descrizione, rd.importo AS dare, 0 AS avere, rm.data, rm.progressivo, rm.tipo,
             rm.versione
        FROM regmain rm JOIN regdet rd ON rd.idRegMain = rm.id WHERE rd.contodare IS NOT NULL
      UNION ALL
      SELECT rd.id, rd.idRegMain, rd.riga, rd.contoavere, rd.contodare,
             rd.descrizione, 0, rd.importo, rm.data, rm.progressivo, rm.tipo, rm.versione
        FROM regmain rm JOIN regdet rd ON rd.idRegMain = rm.id WHERE rd.contoavere IS NOT NULL) s
JOIN sottoconti so ON so.id = s.conto
JOIN conti c       ON c.id = so.idConto
JOIN mastri m      ON m.id = c.idMastro;
