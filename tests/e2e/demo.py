"""The demo install: a machine without the runtime, a local download server reached as the
HTTP proxy, a throwaway PKI made for the build, and the real program in the sandbox. It
prints what a person and an administrator would see, and exits with the program's code."""

import json
import os
import shutil
import subprocess
import sys
import tempfile

import sandbox

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "..", "support", "http_server.py")
PLATFORM_PATH = "/orvel/3/nai/macos10.6/x86"
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
    pki = sandbox.build_output("NAIB_PKI")
    with sandbox.World() as world, tempfile.TemporaryDirectory() as srv:
        world.add_system_version("10.6.8")
        exe = world.add_bundle()
        with open(os.path.join(srv, "installer"), "w", encoding="utf-8") as f:
            f.write(INSTALLER)
        subprocess.run(["openssl", "smime", "-sign", "-binary", "-md", "sha256",
                        "-in", os.path.join(srv, "installer"),
                        "-signer", os.path.join(pki, "signer-good.pem"),
                        "-inkey", os.path.join(pki, "signer-good.key"),
                        "-certfile", os.path.join(pki, "intermediate.pem"),
                        "-outform", "DER", "-out", os.path.join(srv, "installer.p7")], check=True)
        for source, name in (("crl-root.der", "root.crl"),
                             ("crl-intermediate-before.der", "intermediate.crl")):
            shutil.copyfile(os.path.join(pki, source), os.path.join(srv, name))
        routes = {f"{PLATFORM_PATH}/installer": {"file": "installer"},
                  f"{PLATFORM_PATH}/installer.p7": {"file": "installer.p7"}}
        routes_file = os.path.join(srv, "routes.json")
        with open(routes_file, "w", encoding="utf-8") as f:
            json.dump(routes, f)
        server = world.start_helper([sys.executable, SERVER, "--root", srv, "--routes", routes_file,
                                     "--lifetime", "120"])

        argv = [exe, "-silent", "-eulaAccepted", "-allowDownload"]
        print(f"$ '{argv[0]}' {' '.join(argv[1:])}    (no runtime installed; server {server.url})")
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
