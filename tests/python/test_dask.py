# SPDX-License-Identifier: MIT
# kestrune.dask on a LocalCluster with two worker processes gives what a serial run
# gives, in the bag and in the JSON-lines files, one per partition: raw blocks, the
# doctype, pages that cannot be read, and the corpus's links.
import json

import pytest

from conftest import corpus_pages

distributed = pytest.importorskip("distributed", reason="Dask (python3-distributed) is absent")
import kestrune.dask  # noqa: E402


def test_bag_and_files_equal_a_serial_run(tmp_path):
    pages = [tmp_path / f"{i}.html" for i in range(4)]  # the last one is missing
    for page, body in zip(pages, [b"<!DOCTYPE html><html><script>s</script></html>", b"",
                                  b"<html><script>1</script><script>2</script></html>"]):
        page.write_bytes(body)
    records = kestrune.dask.serial(pages, "script")
    assert [r.get("finding") or r["error"].split(":")[0] for r in records] == [
        "<script>s</script>", "NoRootError", "<script>1</script>", "<script>2</script>",
        "FileNotFoundError"]
    # Page 2 has no doctype: its partition has no records and its file is empty.
    requests = [(pages, "script", None, 4), (pages, "!doctype", None, 4)]
    requests += [(str(page.parent / "*.html"), "a", ["href"], 6) for page in corpus_pages()[:1]]
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        for paths, tag, attrs, partitions in requests:
            serial = kestrune.dask.serial(paths, tag, attrs)
            bag = kestrune.dask.findings(paths, tag, attrs, npartitions=partitions)
            assert serial and bag.compute() == serial
            files = kestrune.dask.write_jsonl(bag, tmp_path / tag)
            assert len(files) == partitions
            records = [json.loads(line) for name in sorted(files)
                       for line in open(name, encoding="ascii")]
            assert records == json.loads(json.dumps(serial))
