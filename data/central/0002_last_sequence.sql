-- ostrel_last_sequence(server_id): the highest record number the centre holds
-- for a server, or 0: what a monitor whose journal was lost or restored from
-- a backup needs so as never to reuse a number the centre knows (its record
-- would be taken for a resend and ignored). The monitor does not ask it yet;
-- a new journal numbers its records from the clock instead. The writer
-- learns that number and nothing of the jobs.
CREATE FUNCTION ostrel_last_sequence(server uuid) RETURNS bigint
    LANGUAGE sql STABLE SECURITY DEFINER
    SET search_path = public, pg_temp
    AS $$ SELECT coalesce(max(record_sequence), 0) FROM ostrel_job_records WHERE server_id = server $$;

REVOKE ALL ON FUNCTION ostrel_last_sequence(uuid) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION ostrel_last_sequence(uuid) TO ostrel_writer;
