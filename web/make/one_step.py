"""What both recorders, the build's (record.py) and the page's, take as one
step rather than step into, as they take the C and C++ libraries: the
plumbing every program shares, and how stairprompt hands its gathered
pieces to the system. FILES are paths, or the folders they begin with, under
the source root."""
FILES = ("common/", "recursive/hand_over.h")
FUNCTIONS = ("sendPieces",)
