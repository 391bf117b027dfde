"""A vendor's shipping steps with the vendor tools, for the demo and the tests: the
application maker's bundle (naib-bundle), the runtime publisher's signature (naib-sign)
and download tree (naib-publish), all with the test PKI of the build."""

import os
import subprocess
from typing import List, NamedTuple, Sequence

import sandbox

PACKAGE = "Sample"
VERSION = "1.0.0.1"
SYSTEM = "10.6.8"


def tool(name: str) -> str:
    """Path of a vendor tool of the build (bundle, sign, verify, publish)."""
    return sandbox.build_output(f"NAIB_{name.upper()}")


def pki(name: str) -> str:
    return os.path.join(sandbox.build_output("NAIB_PKI"), name)


def run_tool(name: str, args: Sequence[str], **kwargs) -> subprocess.CompletedProcess:
    return subprocess.run([tool(name)] + list(args), capture_output=True, text=True,
                          timeout=60, **kwargs)


def make_package(path: str) -> str:
    """An application package folder: a payload, an executable script and a link."""
    os.makedirs(os.path.join(path, "Contents", "MacOS"))
    with open(os.path.join(path, "Contents", "payload"), "w", encoding="utf-8") as f:
        f.write("sample payload\n")
    script = os.path.join(path, "Contents", "MacOS", "sample")
    with open(script, "w", encoding="utf-8") as f:
        f.write("#!/bin/sh\necho sample\n")
    os.chmod(script, 0o755)
    os.symlink("MacOS/sample", os.path.join(path, "Contents", "run"))
    return path


class Shipment(NamedTuple):
    exe: str           # the bundle's executable, as the sandbox sees it
    tree: str          # the download tree on the host
    urls: List[str]    # what naib-publish printed
    steps: List[str]   # which tool made what, one line each


def checked(name: str, args: Sequence[str]) -> str:
    result = run_tool(name, args)
    if result.returncode != 0:
        raise AssertionError(f"naib-{name} {list(args)} failed ({result.returncode}): "
                             f"{result.stderr}")
    return result.stdout


def ship(world: sandbox.World, work: str, installer: bytes,
         bundle_options: Sequence[str] = ()) -> Shipment:
    """Bundles the program around a sample package into the world's /Applications (with
    bundle_options, such as --archive), signs installer with the good signer and publishes
    it for SYSTEM with the current, empty revocation lists into work/tree."""
    package = make_package(os.path.join(work, PACKAGE))
    bundle = checked("bundle", ["--program", sandbox.build_output("NAIB_PROGRAM"),
                                "--output", world.host("/Applications"), *bundle_options,
                                package, VERSION]).splitlines()[0]
    installer_path = os.path.join(work, "installer")
    with open(installer_path, "wb") as f:
        f.write(installer)
    signature = checked("sign", ["--cert", pki("signer-good.pem"), "--key", pki("signer-good.key"),
                                 "--chain", pki("intermediate.pem"), installer_path]).strip()
    tree = os.path.join(work, "tree")
    urls = checked("publish", ["--system", SYSTEM, "--crl", pki("crl-root.der"),
                               "--crl", pki("crl-intermediate-before.der"),
                               installer_path, signature, tree]).split()
    exe = f"/Applications/Install {PACKAGE}.app/Contents/MacOS/Install {PACKAGE}"
    steps = [f"naib-bundle made /Applications/{os.path.basename(bundle.strip())} (in the sandbox)",
             f"naib-sign made {signature} (signer-good, checked against the test root)",
             f"naib-publish made {tree}, serving:"] + [f"    {url}" for url in urls]
    return Shipment(exe, tree, urls, steps)
