"""The demo install: the vendor tools make the install bundle, the runtime installer's
signature and the download tree; then, on a machine without the runtime, the real program
(test-root build) in the sandbox downloads the installer through a local server (reached
as the HTTP proxy), checks the signature and the revocation lists, and runs it. It prints
which tool made what, what a person and an administrator would see, and exits with the
program's code."""

import os
import sys
import tempfile

import sandbox
import shipping

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "..", "support", "http_server.py")
RECORD = "/run/records/runtime-installer.args"
PRIORITY = {3: "error", 4: "warning", 5: "notice", 7: "debug"}

# The runtime installer of the demo: it "installs" the runtime framework and records the
# command line it was given.
INSTALLER = f"""#!/bin/sh
printf '%s\\0' "$@" > '{RECORD}'
mkdir -p "/Library/Frameworks/Halvex Orvel.framework/Resources"
echo "runtime installer: installing Halvex Orvel 2.5.1.8090 for $(basename "$(eval echo \\${{$#}})")"
exit 0
"""


def main() -> int:
    with sandbox.World() as world, tempfile.TemporaryDirectory() as work:
        world.add_system_version(shipping.SYSTEM)
        shipment = shipping.ship(world, work, INSTALLER.encode())
        print("Made with the vendor tools:")
        for step in shipment.steps:
            print(f"  {step}")
        server = world.start_helper([sys.executable, SERVER, "--root", shipment.tree,
                                     "--lifetime", "120"])

        argv = [shipment.exe, "-silent", "-eulaAccepted", "-allowDownload"]
        print(f"\n$ '{argv[0]}' {' '.join(argv[1:])}    "
              f"(no runtime installed; the tree served at {server.url})")
        result = world.run(argv, http_proxy=server, timeout=120)
        print(result.stdout, end="")
        print("\nInstall log (system log):")
        for line in result.log:
            print(f"  [{PRIORITY.get(line.priority, line.priority)}] {line.text}")
        args = world.recorded_args(RECORD)
        print(f"\nRuntime installer ran with: {args}")
        print(f"Runtime framework present afterwards: "
              f"{os.path.isdir(world.host('/Library/Frameworks/Halvex Orvel.framework'))}")
        print(f"Files left in the temporary directory: {result.tmp_files or 'none'}")
        if result.stderr:
            print(f"Standard error:\n{result.stderr}")
        print(f"Exit code: {result.returncode}")
        return result.returncode


if __name__ == "__main__":
    sys.exit(main())
