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

CREATE TABLE saldi_mese (
    conto INTEGER NOT NULL,
    mese  TEXT NOT NULL,
    tipo  INTEGER NOT NULL,
    dare  INTEGER NOT NULL DEFAULT 0,
    avere INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (conto, mese, tipo)
) WITHOUT ROWID;

CREATE INDEX saldi_mese_mese ON saldi_mese (mese, tipo);

CREATE TRIGGER saldi_mese_regdet_insert AFTER INSERT ON regdet BEGIN
INSERT INTO saldi_mese (conto, mese, tipo, dare, avere)
SELECT s.conto, substr(rm.data, 1, 7), rm.tipo, SUM(s.dare), SUM(s.avere)
  FROM (SELECT idRegMain, contodare AS conto, importo AS dare, 0 AS avere FROM (SELECT NEW.idRegMain AS idRegMain, NEW.contodare AS contodare, NEW.contoavere AS contoavere, NEW.importo AS importo)
         WHERE contodare IS NOT NULL
        UNION ALL
        SELECT idRegMain, contoavere, 0, importo FROM (SELECT NEW.idRegMain AS idRegMain, NEW.contodare AS contodare, NEW.contoavere AS contoavere, NEW.importo AS importo) WHERE contoavere IS NOT NULL) s
  JOIN regmain rm ON rm.id = s.idRegMain
 WHERE true
 GROUP BY s.conto, rm.id
ON CONFLICT (conto, mese, tipo) DO UPDATE SET dare = dare + excluded.dare,
                                              avere = avere + excluded.avere;
END;

CREATE TRIGGER saldi_mese_regdet_delete AFTER DELETE ON regdet BEGIN
UPDATE saldi_mese
   SET dare = dare - (SELECT COALESCE(SUM(importo), 0) FROM (SELECT OLD.idRegMain AS idRegMain, OLD.contodare AS contodare, OLD.contoavere AS contoavere, OLD.importo AS importo) WHERE contodare = saldi_mese.conto),
       avere = avere - (SELECT COALESCE(SUM(importo), 0) FROM (SELECT OLD.idRegMain AS idRegMain, OLD.contodare AS contodare, OLD.contoavere AS contoavere, OLD.importo AS importo) WHERE contoavere = saldi_mese.conto)
 WHERE mese = (SELECT substr(data, 1, 7) FROM regmain WHERE id = OLD.idRegMain) AND tipo = (SELECT tipo FROM regmain WHERE id = OLD.idRegMain)
   AND conto IN (SELECT contodare FROM (SELECT OLD.idRegMain AS idRegMain, OLD.contodare AS contodare, OLD.contoavere AS contoavere, OLD.importo AS importo) UNION SELECT contoavere FROM (SELECT OLD.idRegMain AS idRegMain, OLD.contodare AS contodare, OLD.contoavere AS contoavere, OLD.importo AS importo));
END;

CREATE TRIGGER saldi_mese_regdet_update AFTER UPDATE ON regdet BEGIN
UPDATE saldi_mese
   SET dare = dare - (SELECT COALESCE(SUM(importo), 0) FROM (SELECT OLD.idRegMain AS idRegMain, OLD.contodare AS contodare, OLD.contoavere AS contoavere, OLD.importo AS importo) WHERE contodare = saldi_mese.conto),
       avere = avere - (SELECT COALESCE(SUM(importo), 0) FROM (SELECT OLD.idRegMain AS idRegMain, OLD.contodare AS contodare, OLD.contoavere AS contoavere, OLD.importo AS importo) WHERE contoavere = saldi_mese.conto)
 WHERE mese = (SELECT substr(data, 1, 7) FROM regmain WHERE id = OLD.idRegMain) AND tipo = (SELECT tipo FROM regmain WHERE id = OLD.idRegMain)
   AND conto IN (SELECT contodare FROM (SELECT OLD.idRegMain AS idRegMain, OLD.contodare AS contodare, OLD.contoavere AS contoavere, OLD.importo AS importo) UNION SELECT contoavere FROM (SELECT OLD.idRegMain AS idRegMain, OLD.contodare AS contodare, OLD.contoavere AS contoavere, OLD.importo AS importo));
INSERT INTO saldi_mese (conto, mese, tipo, dare, avere)
SELECT s.conto, substr(rm.data, 1, 7), rm.tipo, SUM(s.dare), SUM(s.avere)
  FROM (SELECT idRegMain, contodare AS conto, importo AS dare, 0 AS avere FROM (SELECT NEW.idRegMain AS idRegMain, NEW.contodare AS contodare, NEW.contoavere AS contoavere, NEW.importo AS importo)
         WHERE contodare IS NOT NULL
        UNION ALL
        SELECT idRegMain, contoavere, 0, importo FROM (SELECT NEW.idRegMain AS idRegMain, NEW.contodare AS contodare, NEW.contoavere AS contoavere, NEW.importo AS importo) WHERE contoavere IS NOT NULL) s
  JOIN regmain rm ON rm.id = s.idRegMain
 WHERE true
 GROUP BY s.conto, rm.id
ON CONFLICT (conto, mese, tipo) DO UPDATE SET dare = dare + excluded.dare,
                                              avere = avere + excluded.avere;
END;

CREATE TRIGGER saldi_mese_regmain_delete BEFORE DELETE ON regmain BEGIN
DELETE FROM regdet WHERE idRegMain = OLD.id;
END;

CREATE TRIGGER saldi_mese_regmain_update AFTER UPDATE OF data, tipo ON regmain
WHEN substr(OLD.data, 1, 7) <> substr(NEW.data, 1, 7) OR OLD.tipo <> NEW.tipo BEGIN
UPDATE saldi_mese
   SET dare = dare - (SELECT COALESCE(SUM(importo), 0) FROM (SELECT * FROM regdet WHERE idRegMain = OLD.id) WHERE contodare = saldi_mese.conto),
       avere = avere - (SELECT COALESCE(SUM(importo), 0) FROM (SELECT * FROM regdet WHERE idRegMain = OLD.id) WHERE contoavere = saldi_mese.conto)
 WHERE mese = substr(OLD.data, 1, 7) AND tipo = OLD.tipo
   AND conto IN (SELECT contodare FROM (SELECT * FROM regdet WHERE idRegMain = OLD.id) UNION SELECT contoavere FROM (SELECT * FROM regdet WHERE idRegMain = OLD.id));
INSERT INTO saldi_mese (conto, mese, tipo, dare, avere)
SELECT s.conto, substr(rm.data, 1, 7), rm.tipo, SUM(s.dare), SUM(s.avere)
  FROM (SELECT idRegMain, contodare AS conto, importo AS dare, 0 AS avere FROM (SELECT * FROM regdet WHERE idRegMain = NEW.id)
         WHERE contodare IS NOT NULL
        UNION ALL
        SELECT idRegMain, contoavere, 0, importo FROM (SELECT * FROM regdet WHERE idRegMain = NEW.id) WHERE contoavere IS NOT NULL) s
  JOIN regmain rm ON rm.id = s.idRegMain
 WHERE true
 GROUP BY s.conto, rm.id
ON CONFLICT (conto, mese, tipo) DO UPDATE SET dare = dare + excluded.dare,
                                              avere = avere + excluded.avere;
END;

CREATE TABLE stampe_definitive (
    id               INTEGER PRIMARY KEY AUTOINCREMENT,
    inizio_esercizio TEXT NOT NULL,
    fine_esercizio   TEXT NOT NULL,
    dal              TEXT NOT NULL,
    al               TEXT NOT NULL,
    foglio_dal       INTEGER NOT NULL,
    foglio_al        INTEGER NOT NULL,
    riga_dal         INTEGER NOT NULL,
    riga_al          INTEGER NOT NULL,
    dare             INTEGER NOT NULL,
    avere            INTEGER NOT NULL,
    stampata_il      TEXT NOT NULL,
    impronta         TEXT NOT NULL,
    pagina_al        INTEGER,
    file             TEXT,
    CHECK (inizio_esercizio <= dal AND dal <= al AND al <= fine_esercizio),
    CHECK (foglio_dal >= 1 AND foglio_al >= foglio_dal),
    CHECK (riga_dal >= 1 AND riga_al >= riga_dal - 1),
    UNIQUE (inizio_esercizio, al)
);

CREATE TABLE movimenti_importati (
    conto       INTEGER NOT NULL REFERENCES sottoconti (id) ON DELETE CASCADE,
    impronta    TEXT NOT NULL,
    idRegMain   INTEGER NOT NULL REFERENCES regmain (id) ON DELETE CASCADE,
    controparte INTEGER REFERENCES sottoconti (id) ON DELETE SET NULL,
    iban        TEXT,
    descrizione TEXT NOT NULL DEFAULT '',
    importato_il TEXT NOT NULL,
    PRIMARY KEY (conto, impronta)
);

CREATE INDEX movimenti_importati_idRegMain ON movimenti_importati (idRegMain);

CREATE TABLE regole_banca (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    testo       TEXT NOT NULL DEFAULT '',
    segno       INTEGER NOT NULL DEFAULT 0 CHECK (segno IN (-1, 0, 1)),
    iban        TEXT,
    sottoconto  INTEGER NOT NULL REFERENCES sottoconti (id) ON DELETE CASCADE,
    banca       INTEGER REFERENCES sottoconti (id) ON DELETE CASCADE,
    CHECK (trim(testo) <> '' OR iban IS NOT NULL)
);

CREATE TABLE profili_csv (
    nome             TEXT PRIMARY KEY CHECK (trim(nome) <> ''),
    separatore       TEXT NOT NULL CHECK (length(separatore) = 1),
    codifica         TEXT NOT NULL CHECK (codifica IN ('UTF-8', 'Windows-1252', 'ISO-8859-15')),
    righe_da_saltare INTEGER NOT NULL DEFAULT 0 CHECK (righe_da_saltare >= 0),
    formato_data     TEXT NOT NULL DEFAULT 'dd/MM/yyyy',
    col_data         INTEGER NOT NULL,
    col_valuta       INTEGER,
    col_importo      INTEGER,
    col_dare         INTEGER,
    col_avere        INTEGER,
    col_descrizione  INTEGER NOT NULL,
    col_controparte  INTEGER,
    righe_finali     INTEGER NOT NULL DEFAULT 0 CHECK (righe_finali >= 0),
    testi_ignorati   TEXT NOT NULL DEFAULT 'saldo',
    col_stato        INTEGER,
    stati            TEXT NOT NULL DEFAULT '',
    CHECK (col_importo IS NOT NULL OR (col_dare IS NOT NULL AND col_avere IS NOT NULL))
);

CREATE TABLE conti_bancari (
    sottoconto  INTEGER PRIMARY KEY REFERENCES sottoconti (id) ON DELETE CASCADE,
    iban        TEXT NOT NULL UNIQUE
);

CREATE TABLE estratti_importati (
    id            INTEGER PRIMARY KEY AUTOINCREMENT,
    conto         INTEGER NOT NULL REFERENCES sottoconti (id) ON DELETE CASCADE,
    conto_estratto TEXT NOT NULL DEFAULT '',
    dal           TEXT,
    al            TEXT,
    data_saldo    TEXT,
    saldo_finale  INTEGER,
    importato_il  TEXT NOT NULL
);

CREATE TABLE movimenti_estratto (
    conto       INTEGER NOT NULL REFERENCES sottoconti (id) ON DELETE CASCADE,
    impronta    TEXT NOT NULL,
    estratto    INTEGER NOT NULL REFERENCES estratti_importati (id) ON DELETE CASCADE,
    data        TEXT NOT NULL,
    importo     INTEGER NOT NULL,
    descrizione TEXT NOT NULL DEFAULT '',
    PRIMARY KEY (conto, impronta)
);

CREATE INDEX movimenti_estratto_data ON movimenti_estratto (conto, data);

CREATE TABLE controparti_fiscali (
    sottoconto  INTEGER PRIMARY KEY REFERENCES sottoconti (id) ON DELETE CASCADE,
    idfiscale   TEXT NOT NULL UNIQUE CHECK (trim(idfiscale) <> '')
);

CREATE TABLE fatture_importate (
    idfiscale   TEXT NOT NULL,
    tipo        TEXT NOT NULL,
    numero      TEXT NOT NULL,
    data        TEXT NOT NULL,
    idRegMain   INTEGER NOT NULL REFERENCES regmain (id) ON DELETE CASCADE,
    direzione   TEXT NOT NULL CHECK (direzione IN ('acquisto', 'vendita')),
    controparte INTEGER REFERENCES sottoconti (id) ON DELETE SET NULL,
    totale      INTEGER NOT NULL,
    iban        TEXT,
    importata_il TEXT NOT NULL,
    PRIMARY KEY (idfiscale, tipo, numero, data)
);

CREATE INDEX fatture_importate_idRegMain ON fatture_importate (idRegMain);
