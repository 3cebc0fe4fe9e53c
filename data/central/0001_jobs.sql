-- The central store: every print server's job records in one database.
--
-- Applied once, in order with the files after it, by `ostrel-setup --central`,
-- which records each applied file in ostrel_schema_versions; it runs inside
-- one transaction, as a role that may create tables and roles.
--
-- ostrel_servers      one row per print server
--   server_id         the server's ServerId (registry store), its identity for good
--   name              its display name (ServerName, else its host name); the
--                     latest one it reported, so a renamed server keeps its history
--   first_seen, last_seen   when it first and last registered
-- ostrel_printers     the printers a server has recorded jobs on
--   server_id, name   the printer's name as the records hold it
-- ostrel_job_records  one row per record of a server's journal
--   server_id, record_sequence   the key: the record's number in the server's
--                     Kestrun.journal; a resend of the same record does nothing
--   job_id            the scheduler's job id
--   queue             where the job ran ("<scheduler>/<printer>"), '' when unknown
--   printer, username, document   as recorded (made safe for XML; the document
--                     may be "-" where document names are not recorded)
--   pages             pages printed, copies included
--   cost              cost in cents, as the records hold it
--   submitted_at      when the scheduler created the job; NULL when unknown
--   recorded_at       when the monitor took the record on
--   local_year, local_month, local_day, local_hour, local_minute
--                     the record's own date and time fields exactly as the log
--                     files hold them (zero-padded to two digits, the year
--                     whole: '2026'; the server's local time of submission)
--
-- ostrel_jobs is the view reports and administrators read: the records with
-- their server's display name as `server`.
--
-- Roles, without passwords (give them one, or use certificates or peer
-- authentication):
--   ostrel_writer   the monitors: adds jobs, registers its server and printers;
--                   cannot read, change or delete jobs
--   ostrel_reader   reports: reads everything, changes nothing

DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'ostrel_writer') THEN
        CREATE ROLE ostrel_writer LOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'ostrel_reader') THEN
        CREATE ROLE ostrel_reader LOGIN;
    END IF;
END
$$;

CREATE TABLE ostrel_servers (
    server_id uuid PRIMARY KEY,
    name text NOT NULL,
    first_seen timestamptz NOT NULL DEFAULT now(),
    last_seen timestamptz NOT NULL DEFAULT now()
);

CREATE TABLE ostrel_printers (
    server_id uuid NOT NULL REFERENCES ostrel_servers,
    name text NOT NULL,
    first_seen timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (server_id, name)
);

CREATE TABLE ostrel_job_records (
    server_id uuid NOT NULL REFERENCES ostrel_servers,
    record_sequence bigint NOT NULL CHECK (record_sequence > 0),
    job_id bigint NOT NULL,
    queue text NOT NULL DEFAULT '',
    printer text NOT NULL,
    username text NOT NULL,
    document text NOT NULL,
    pages bigint NOT NULL,
    cost bigint NOT NULL,
    submitted_at timestamptz,
    recorded_at timestamptz NOT NULL,
    local_year text NOT NULL,
    local_month text NOT NULL,
    local_day text NOT NULL,
    local_hour text NOT NULL,
    local_minute text NOT NULL,
    PRIMARY KEY (server_id, record_sequence)
);

-- Reports select a time range, often of one server, printer or user.
CREATE INDEX ostrel_job_records_submitted ON ostrel_job_records (submitted_at);
CREATE INDEX ostrel_job_records_recorded ON ostrel_job_records (recorded_at);
CREATE INDEX ostrel_job_records_server ON ostrel_job_records (server_id, submitted_at);
CREATE INDEX ostrel_job_records_printer ON ostrel_job_records (printer, submitted_at);
CREATE INDEX ostrel_job_records_user ON ostrel_job_records (username, submitted_at);

CREATE VIEW ostrel_jobs AS
SELECT s.name AS server,
       j.printer,
       j.username,
       j.document,
       j.pages,
       j.cost,
       j.submitted_at,
       j.recorded_at,
       j.job_id,
       j.server_id,
       j.record_sequence,
       j.queue,
       j.local_year,
       j.local_month,
       j.local_day,
       j.local_hour,
       j.local_minute
FROM ostrel_job_records j
JOIN ostrel_servers s USING (server_id);

-- Nothing for anyone but what is granted below.
REVOKE ALL ON ostrel_servers, ostrel_printers, ostrel_job_records, ostrel_jobs FROM PUBLIC;

GRANT USAGE ON SCHEMA public TO ostrel_writer, ostrel_reader;

-- A server registers itself (and takes a new name) with
-- INSERT ... ON CONFLICT (server_id) DO UPDATE, which reads the key and
-- the name it sets.
GRANT SELECT (server_id, name), INSERT, UPDATE (name, last_seen) ON ostrel_servers TO ostrel_writer;
GRANT INSERT ON ostrel_printers TO ostrel_writer;
GRANT INSERT ON ostrel_job_records TO ostrel_writer;

GRANT SELECT ON ostrel_servers, ostrel_printers, ostrel_job_records, ostrel_jobs TO ostrel_reader;

-- A batch arrives by COPY into a temporary table of the session.
DO $$
BEGIN
    EXECUTE format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO ostrel_writer', current_database());
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO ostrel_reader', current_database());
END
$$;
