"""The progress bar: on a terminal for batches and large files, never in a pipe or a log."""

import io

import pytest

from CorvaneSDK.cli.progress import LARGE_FILE, Console


class Terminal(io.StringIO):
    def isatty(self):
        return True


def _run(stream, sizes):
    console = Console(stream, sizes)
    for number in range(len(sizes)):
        console.begin("file%d.pdf" % number)
        console.say("wrote file%d.pdf" % number)
        console.end()
    console.close()
    return stream.getvalue()


@pytest.mark.parametrize("sizes, bar", [
    ([1000, 2000], True), ([LARGE_FILE + 1], True), ([1000], False)])
def test_bar_only_where_there_is_something_to_wait_for(sizes, bar):
    written = _run(Terminal(), sizes)
    assert ("files" in written) == bar
    # Every message is a whole line of its own, with the bar cleared from it.
    lines = [line.rsplit("\x1b[K", 1)[-1] for line in written.split("\n")[:-1]]
    assert lines == ["wrote file%d.pdf" % number for number in range(len(sizes))]
    if bar:
        assert "%d/%d files" % (len(sizes), len(sizes)) in written and written.endswith("\r\x1b[K")


def test_no_bar_when_not_a_terminal():
    assert _run(io.StringIO(), [1000, 2000, LARGE_FILE + 1]) == "wrote file0.pdf\nwrote file1.pdf\nwrote file2.pdf\n"
