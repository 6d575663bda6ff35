#!/usr/bin/python3
"""Opens documents in LibreOffice and exports them to PDF, in one LibreOffice
session for all of them (LibreOffice is slow to start).

usage: lo_oracle.py PROFILE_DIR IN.docx OUT.pdf [PASSWORD] [-- IN OUT [PASSWORD] ...]

Each job is IN OUT, optionally followed by a password, jobs separated by
"--". For each job one line is printed: "OK OUT" when the document opened
and the PDF was written, "FAIL IN reason" otherwise. A document that needs a
password it was not given fails to open (there is nobody to ask).
Exit status 0 when LibreOffice could be started, whatever the jobs gave.
"""
import os
import subprocess
import sys
import time

import uno
from com.sun.star.beans import PropertyValue


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def jobs(args):
    job = []
    for a in args:
        if a == "--":
            if job:
                yield job
            job = []
        else:
            job.append(a)
    if job:
        yield job


def main():
    profile = os.path.abspath(sys.argv[1])
    pipe = "trancel_lo_%d" % os.getpid()
    office = subprocess.Popen(
        ["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--invisible",
         "--nologo", "--norestore", "--nodefault", "--nolockcheck",
         "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        ctx = None
        deadline = time.time() + 120
        while ctx is None:
            try:
                ctx = resolver.resolve(
                    "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            except Exception:
                if time.time() > deadline or office.poll() is not None:
                    print("FAIL - LibreOffice did not start")
                    return 1
                time.sleep(0.25)
        desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        for job in jobs(sys.argv[2:]):
            src, out = job[0], job[1]
            props = [prop("Hidden", True), prop("ReadOnly", True)]
            if len(job) > 2:
                props.append(prop("Password", job[2]))
            try:
                doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(src)),
                                                   "_blank", 0, tuple(props))
            except Exception as e:
                print("FAIL %s %s" % (src, type(e).__name__))
                continue
            if doc is None:
                print("FAIL %s not loaded" % src)
                continue
            try:
                doc.storeToURL(uno.systemPathToFileUrl(os.path.abspath(out)),
                               (prop("FilterName", "writer_pdf_Export"),))
                print("OK %s" % out)
            except Exception as e:
                print("FAIL %s %s" % (src, type(e).__name__))
            finally:
                doc.close(True)
        try:
            desktop.terminate()
        except Exception:
            pass
    finally:
        try:
            office.wait(timeout=30)
        except subprocess.TimeoutExpired:
            office.kill()
            office.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
