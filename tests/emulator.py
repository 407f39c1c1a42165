"""How the tests start a program: directly, or, in a cross build, under the
emulator that the build names in the tests' environment (EMULATOR)."""
import os
import shlex


def command(program):
    return shlex.split(os.environ.get("EMULATOR", "")) + [program]
