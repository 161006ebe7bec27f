"""The whole signing run: order of steps, reason text, early ends and output."""

import asyncio
import base64
import errno
import gc
import io
import json
import os
import shutil
import stat
import subprocess

import pytest

import CorvaneSDK.sign as sign
from support.fakes import Calls

USER = {"user_id": "svc-7", "user_full_name": "Ada L", "user_company_name": "Engines Ltd",
        "division": "R&D", "user_email": "ada@example.org"}
DIGEST = bytes(range(32))
SIGNED = b"%PDF-1.7 signed document"


class Procedure:
    """Replaces the module's steps with recorders; `outcomes` decide their answers."""

    def __init__(self, monkeypatch, user=USER, user_ok=True, signing_ok=True, signing_record=None,
                 credentials=None, output=None):
        self.calls = calls = Calls()
        self.digest = digest = type("Prepared", (), {"document_digest": DIGEST})()
        self.output = output = output if output is not None else io.BytesIO()
        record = signing_record if signing_record is not None else {
            "signature": base64.b64encode(b"raw-signature").decode(),
            "certificate": base64.b64encode(b"DER").decode(), "_t": "enciphered"}
        credentials = credentials if credentials is not None else {
            "ts_url": "http://tsa.example", "ts_username": "u", "ts_password": "p"}

        def user_info(*args, **kwargs):
            calls.add("crvn_request_user_info", args, kwargs)
            return (user_ok, user if user_ok else "refused")

        async def prep_document(*args, **kwargs):
            calls.add("prep_document", args, kwargs)
            await asyncio.sleep(0)
            output.write(b"prepared")
            return (digest, output)

        def certificate_info(*args, **kwargs):
            calls.add("crvn_request_certificate_info", args, kwargs)
            return (signing_ok, record if signing_ok else "refused")

        def decrypt_data(*args, **kwargs):
            calls.add("decrypt_data", args, kwargs)
            return json.dumps(credentials).encode()

        async def proceed_with_signing(*args, **kwargs):
            calls.add("proceed_with_signing", args, kwargs)
            await asyncio.sleep(0)
            output.seek(0)
            output.write(SIGNED)
            output.seek(3)  # the file must hold the whole stream whatever its position

        load = type("X509", (), {"Certificate": type("C", (), {
            "load": staticmethod(lambda der: calls.add("load", (der,), {}) or "CERT")})})
        for name, value in {
            "crvn_request_user_info": user_info, "prep_document": prep_document,
            "crvn_request_certificate_info": certificate_info, "decrypt_data": decrypt_data,
            "proceed_with_signing": proceed_with_signing, "format_date": lambda: "D",
            "x509": load,
        }.items():
            monkeypatch.setattr(sign, name, value)


@pytest.fixture
def out(tmp_path):
    return tmp_path / "out.pdf"


def run(entry, out, *extra, **keywords):
    return entry("in.pdf", str(out), "api-tok", "tenant", "rsa", *extra, **keywords)


def test_full_run_calls_steps_in_order_and_writes_the_stream(monkeypatch, out, capsys):
    procedure = Procedure(monkeypatch)
    assert run(sign.sign_crvn, out, None, "ada@example.org") is None
    reason = ("Date Time: D, Signer Name: Ada L, Company Name: Engines Ltd, Division: R&D, "
              "Email: ada@example.org")
    assert procedure.calls == [
        ("crvn_request_user_info", ("api-tok", "tenant", None, "ada@example.org"), []),
        ("prep_document", ("in.pdf", "Signature1", reason), []),
        ("crvn_request_certificate_info",
         ("api-tok", "tenant", "svc-7", "rsa", base64.b64encode(DIGEST).decode()), []),
        ("load", (b"DER",), []),
        ("decrypt_data", ("enciphered", "api-tok"), []),
        ("proceed_with_signing", ("in.pdf", "Signature1", procedure.digest, procedure.output, b"raw-signature", "CERT", "http://tsa.example", "u", "p"),
         []),
    ]
    assert out.read_bytes() == SIGNED
    assert capsys.readouterr().out == ""


def test_test_variant_uses_the_dummy_server_and_ignores_credentials(monkeypatch, out):
    record = {"signature": "c2ln", "certificate": "REVS"}  # no "_t" at all
    procedure = Procedure(monkeypatch, signing_record=record)
    monkeypatch.setattr(sign, "DUMMY_HTTP_TS", "http://rebound.example/TSS/RFC3161sha2TS")
    run(sign.sign_test, out)
    assert "decrypt_data" not in procedure.calls.names()
    (args, _), = procedure.calls.named("proceed_with_signing")
    assert args[-3:] == ("http://rebound.example/TSS/RFC3161sha2TS", None, None)
    assert out.read_bytes() == SIGNED


@pytest.mark.parametrize("changes, reason_tail", [
    ({"division": None}, "Division: , Email: ada@example.org"),
    ({"user_email": None}, "Division: R&D, Email: None"),
    ({"division": 0, "user_full_name": 42}, "Division: 0, Email: ada@example.org"),
])
def test_reason_text_renders_values_and_blank_division(monkeypatch, out, changes, reason_tail):
    procedure = Procedure(monkeypatch, user=dict(USER, **changes))
    run(sign.sign_crvn, out)
    reason = procedure.calls.named("prep_document")[0][0][2]
    assert reason.endswith(reason_tail)
    assert reason.startswith("Date Time: D, Signer Name: %s, " % dict(USER, **changes)["user_full_name"])


@pytest.mark.parametrize("refused, lines, steps", [
    ("user", "Error: get user info\n", ["crvn_request_user_info"]),
    ("certificate", "Error: get certificate info\n",
     ["crvn_request_user_info", "prep_document", "crvn_request_certificate_info"]),
])
def test_refusals_print_and_leave_the_output_untouched(monkeypatch, out, capsys, refused, lines, steps):
    out.write_bytes(b"precious")
    procedure = Procedure(monkeypatch, user_ok=refused != "user", signing_ok=refused != "certificate")
    assert run(sign.sign_crvn, out) is None
    assert capsys.readouterr().out == lines
    assert procedure.calls.names() == steps
    assert out.read_bytes() == b"precious"


@pytest.mark.parametrize("record, credentials, error", [
    ({"signature": "abc", "certificate": "REVS", "_t": "x"}, None, ValueError),
    ({"certificate": "REVS", "_t": "x"}, None, KeyError),
    ({"signature": "c2ln", "certificate": "REVS"}, None, KeyError),
    (None, {"ts_url": "u", "ts_username": "n"}, KeyError),
])
def test_errors_propagate_unchanged_and_write_nothing(monkeypatch, out, record, credentials, error):
    Procedure(monkeypatch, signing_record=record, credentials=credentials)
    with pytest.raises(error):
        run(sign.sign_crvn, out)
    assert not out.exists()
    assert os.listdir(out.parent) == []


def test_library_error_leaves_existing_output_byte_for_byte(monkeypatch, out):
    Procedure(monkeypatch)

    async def failing(*args):
        raise RuntimeError("library failed")

    monkeypatch.setattr(sign, "proceed_with_signing", failing)
    out.write_bytes(b"precious")
    with pytest.raises(RuntimeError, match="library failed"):
        run(sign.sign_crvn, out)
    assert out.read_bytes() == b"precious"
    assert os.listdir(out.parent) == ["out.pdf"]


def test_failed_write_leaves_no_partial_file(monkeypatch, out):
    class Unwritable(io.BytesIO):
        def getbuffer(self):
            raise OSError(28, "No space left on device")

    Procedure(monkeypatch, output=Unwritable())
    out.write_bytes(b"precious")
    with pytest.raises(OSError, match="No space left"):
        run(sign.sign_crvn, out)
    assert out.read_bytes() == b"precious"
    assert os.listdir(out.parent) == ["out.pdf"]


def test_output_mode_follows_open_semantics(monkeypatch, tmp_path):
    Procedure(monkeypatch)
    existing = tmp_path / "existing.pdf"
    existing.write_bytes(b"old")
    existing.chmod(0o640)
    run(sign.sign_crvn, existing)
    assert stat.S_IMODE(existing.stat().st_mode) == 0o640
    fresh = tmp_path / "fresh.pdf"
    umask = os.umask(0o027)
    try:
        run(sign.sign_crvn, fresh)
    finally:
        os.umask(umask)
    assert stat.S_IMODE(fresh.stat().st_mode) == 0o640
    assert fresh.read_bytes() == SIGNED


def test_output_through_a_symlink_replaces_the_file_it_points_at(monkeypatch, tmp_path):
    Procedure(monkeypatch)
    real = tmp_path / "real.pdf"
    real.write_bytes(b"old")
    link = tmp_path / "link.pdf"
    link.symlink_to(real)
    run(sign.sign_crvn, link)
    assert link.is_symlink() and real.read_bytes() == SIGNED


def test_unwritable_output_folder_reports_the_output_path(monkeypatch, tmp_path):
    Procedure(monkeypatch)
    missing = tmp_path / "no-such-folder" / "out.pdf"
    with pytest.raises(FileNotFoundError) as error:
        run(sign.sign_crvn, missing)
    assert error.value.filename == str(missing)


def test_entry_point_defaults_and_keywords(monkeypatch, out):
    seen = []

    async def procedure(*args, **kwargs):
        seen.append((args, kwargs))

    monkeypatch.setattr(sign, "full_procedure", procedure)
    monkeypatch.setattr(sign, "full_procedure_test", procedure)
    sign.sign_crvn("i", "o", "t", "n", "p")
    sign.sign_test("i", "o", "t", "n", "p", email="e")
    assert seen == [(("i", "o", "t", "n", "p", None, None), {}),
                    (("i", "o", "t", "n", "p", None, "e"), {})]


@pytest.mark.filterwarnings("ignore:coroutine 'full_procedure' was never awaited")
def test_entry_point_inside_a_running_loop_raises_without_requests(monkeypatch, out):
    procedure = Procedure(monkeypatch)

    async def main():
        run(sign.sign_crvn, out)

    with pytest.raises(RuntimeError, match="running event loop"):
        asyncio.run(main())
    gc.collect()  # the refused coroutine lived on in the traceback
    assert procedure.calls == []


def test_unawaited_procedure_does_nothing(monkeypatch, out):
    procedure = Procedure(monkeypatch)
    with pytest.warns(RuntimeWarning, match="full_procedure"):
        coroutine = sign.full_procedure("in.pdf", str(out), "t", "n", "p", None, None)
        assert asyncio.iscoroutine(coroutine)
        del coroutine
    assert procedure.calls == [] and not out.exists()


def test_same_path_for_input_and_output(monkeypatch, tmp_path):
    Procedure(monkeypatch)
    document = tmp_path / "doc.pdf"
    document.write_bytes(b"original")
    sign.sign_crvn(str(document), str(document), "t", "n", "p")
    assert document.read_bytes() == SIGNED


def test_a_pipe_as_output_is_written_in_place_not_replaced(monkeypatch, tmp_path):
    import threading
    Procedure(monkeypatch)
    pipe = tmp_path / "pipe.pdf"
    os.mkfifo(pipe)
    received = []
    reader = threading.Thread(target=lambda: received.append(pipe.read_bytes()), daemon=True)
    reader.start()
    run(sign.sign_crvn, pipe)
    reader.join(10)
    assert received == [SIGNED]
    assert stat.S_ISFIFO(pipe.stat().st_mode)
    assert os.listdir(tmp_path) == ["pipe.pdf"]


def _kept_owner_group_and_mode(tmp_path):
    if os.geteuid() != 0:
        pytest.skip("giving a file to another user needs root")
    target = tmp_path / "theirs.pdf"
    target.write_bytes(b"old")
    os.chown(target, 4321, 4322)
    target.chmod(0o6750)
    run(sign.sign_crvn, target)
    status = target.stat()
    assert (status.st_uid, status.st_gid, stat.S_IMODE(status.st_mode)) == (4321, 4322, 0o750)
    assert target.read_bytes() == SIGNED


def _hard_links_keep_sharing(tmp_path):
    target = tmp_path / "out.pdf"
    target.write_bytes(b"old content, longer than the signed document is")
    os.link(target, tmp_path / "link.pdf")
    run(sign.sign_crvn, target)
    assert (tmp_path / "link.pdf").read_bytes() == SIGNED
    assert os.path.samefile(target, tmp_path / "link.pdf")


def _symlink_loop_is_refused_like_open(tmp_path):
    target = tmp_path / "a.pdf"
    target.symlink_to(tmp_path / "b.pdf")
    (tmp_path / "b.pdf").symlink_to(target)
    with pytest.raises(OSError) as error:
        run(sign.sign_crvn, target)
    assert (error.value.errno, error.value.filename) == (errno.ELOOP, str(target))
    assert target.is_symlink() and (tmp_path / "b.pdf").is_symlink()


def _longest_name_is_replaced(tmp_path):
    target = tmp_path / ("n" * 251 + ".pdf")
    target.write_bytes(b"old")
    run(sign.sign_crvn, target)
    assert target.read_bytes() == SIGNED


def _no_new_entry_possible_beside_target(tmp_path):
    folder = tmp_path / "sealed"
    folder.mkdir()
    target = folder / "out.pdf"
    target.write_bytes(b"old content, longer than the signed document is")
    # Root ignores permissions; an immutable folder stops even root from adding entries.
    if os.geteuid() == 0:
        if not shutil.which("chattr") or subprocess.run(["chattr", "+i", str(folder)],
                                                         capture_output=True).returncode != 0:
            pytest.skip("this file system cannot make a folder immutable")
        unseal = lambda: subprocess.run(["chattr", "-i", str(folder)], check=True)  # noqa: E731
    else:
        folder.chmod(0o500)
        unseal = lambda: folder.chmod(0o700)  # noqa: E731
    try:
        run(sign.sign_crvn, target)
    finally:
        unseal()
    assert target.read_bytes() == SIGNED


def _bind_mounted_file_is_written_in_place(tmp_path):
    mounted = tmp_path / "mounted.pdf"
    mounted.write_bytes(b"old content, longer than the signed document is")
    target = tmp_path / "out.pdf"
    target.write_bytes(b"")
    if not shutil.which("mount") or subprocess.run(["mount", "--bind", str(mounted), str(target)],
                                                   capture_output=True).returncode != 0:
        pytest.skip("cannot bind-mount here")
    try:
        run(sign.sign_crvn, target)
        assert target.read_bytes() == SIGNED
    finally:
        subprocess.run(["umount", str(target)], check=True)
    assert mounted.read_bytes() == SIGNED


def _protected_symlink_in_sticky_folder(tmp_path):
    with open("/proc/sys/fs/protected_symlinks") as setting:
        if setting.read().strip() != "1" or os.geteuid() != 0:
            pytest.skip("needs root and the kernel's protected_symlinks")
    real = tmp_path / "real.pdf"
    real.write_bytes(b"old")
    sticky = tmp_path / "shared"
    sticky.mkdir()
    sticky.chmod(0o1777)
    link = sticky / "out.pdf"
    link.symlink_to(real)
    os.lchown(link, 4321, 4321)
    with pytest.raises(PermissionError):
        run(sign.sign_crvn, link)
    assert real.read_bytes() == b"old"


@pytest.mark.parametrize("case", [
    _kept_owner_group_and_mode, _hard_links_keep_sharing, _symlink_loop_is_refused_like_open,
    _longest_name_is_replaced, _no_new_entry_possible_beside_target, _bind_mounted_file_is_written_in_place,
    _protected_symlink_in_sticky_folder,
], ids=lambda case: case.__name__.strip("_"))
def test_output_follows_the_semantics_of_open(monkeypatch, tmp_path, case):
    Procedure(monkeypatch)
    case(tmp_path)
    assert not [name for _, _, names in os.walk(tmp_path) for name in names if name.endswith(".tmp")]


def test_cancellation_while_a_step_blocks_leaves_the_output(monkeypatch, out):
    Procedure(monkeypatch)

    async def cancelled_meanwhile(*args):
        # As a Ctrl-C under asyncio.run does while a blocking request runs:
        # the task is cancelled but does not suspend again.
        asyncio.current_task().cancel()

    monkeypatch.setattr(sign, "proceed_with_signing", cancelled_meanwhile)
    out.write_bytes(b"precious")

    async def main():
        task = asyncio.ensure_future(sign.full_procedure("in.pdf", str(out), "t", "n", "p", None, None))
        with pytest.raises(asyncio.CancelledError):
            await task
        return task.cancelled()

    assert asyncio.run(main())
    assert out.read_bytes() == b"precious"
    assert os.listdir(out.parent) == ["out.pdf"]


def test_input_replaced_while_signing_in_place_is_not_overwritten(monkeypatch, tmp_path):
    procedure = Procedure(monkeypatch)
    document = tmp_path / "doc.pdf"
    document.write_bytes(b"version 1")
    newer = tmp_path / "newer.pdf"
    newer.write_bytes(b"version 2")
    answer = sign.crvn_request_certificate_info

    def another_program_saves_meanwhile(*args):
        os.replace(newer, document)
        return answer(*args)

    monkeypatch.setattr(sign, "crvn_request_certificate_info", another_program_saves_meanwhile)
    with pytest.raises(RuntimeError, match="doc.pdf.*replaced"):
        sign.sign_crvn(str(document), str(document), "t", "n", "p")
    assert document.read_bytes() == b"version 2"
    assert os.listdir(tmp_path) == ["doc.pdf"]
    assert "proceed_with_signing" in procedure.calls.names()
