# SPDX-License-Identifier: MIT
# kestrune.dask on a LocalCluster with two worker processes gives what a serial run
# gives, in the bag and in the JSON-lines files, one per partition.
import json

import pytest

distributed = pytest.importorskip("distributed", reason="Dask (python3-distributed) is absent")
import kestrune.dask  # noqa: E402


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as c:
            yield c


def test_bag_and_files_equal_a_serial_run(client, corpus, tmp_path):
    pattern = str(corpus[0].parent / "*.html")
    serial = kestrune.dask.serial(pattern, "a", ["href"])
    assert len(serial) > len(corpus)
    bag = kestrune.dask.findings(pattern, "a", ["href"], npartitions=6)
    assert bag.compute() == serial
    files = kestrune.dask.write_jsonl(bag, tmp_path / "out")
    assert len(files) == 6
    records = [json.loads(line) for f in sorted(files) for line in open(f, encoding="ascii")]
    assert records == json.loads(json.dumps(serial))


def test_raw_blocks_doctype_and_unreadable_pages(client, tmp_path):
    pages = []
    for i, body in enumerate([b"<!DOCTYPE html><html><script>s</script></html>", b"",
                              b"<html><script>1</script><script>2</script></html>"]):
        pages.append(tmp_path / f"{i}.html")
        pages[-1].write_bytes(body)
    pages.append(tmp_path / "missing.html")
    for tag in ("script", "!doctype"):
        bag = kestrune.dask.findings(pages, tag, npartitions=2)
        assert bag.compute() == kestrune.dask.serial(pages, tag)
    records = kestrune.dask.serial(pages, "script")
    assert [r.get("finding") or r["error"].split(":")[0] for r in records] == [
        "<script>s</script>", "NoRootError", "<script>1</script>", "<script>2</script>",
        "FileNotFoundError"]
