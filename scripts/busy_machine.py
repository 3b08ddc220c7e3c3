"""A machine kept busy: processes that spin on the processor while a block of code runs, so that
tests run as they do on a shared CI machine (scripts/test-under-load, scripts/mutation-score
--under-load)."""

import multiprocessing


def spin():
    while True:
        pass


class BusyMachine:
    """BUSY processes spinning on the processor while the block runs."""

    def __init__(self, busy):
        self.busy = busy
        self.spinners = []

    def __enter__(self):
        for _ in range(self.busy):
            spinner = multiprocessing.Process(target=spin, daemon=True)
            spinner.start()
            self.spinners.append(spinner)
        return self

    def __exit__(self, *_):
        for spinner in self.spinners:
            spinner.kill()
            spinner.join()
