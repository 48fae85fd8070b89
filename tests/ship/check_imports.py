"""check_imports.py OBJDUMP PROGRAM ALLOWED: fails when PROGRAM imports a
function that ALLOWED (per DLL, one function a line) does not list, and
prints every such import, so that a new one is reviewed before it ships."""
import re
import subprocess
import sys

objdump, program, allowed_path = sys.argv[1:4]


def allowed_imports(path):
    allowed, dll = set(), None
    for line in open(path, encoding="utf-8"):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        section = re.fullmatch(r"\[(.+)\]", line)
        if section:
            dll = section.group(1).lower()
        elif dll:
            allowed.add((dll, line))
    return allowed


def program_imports(text):
    found, dll = set(), None
    for line in text.splitlines():
        name = re.match(r"\s*DLL Name: (\S+)", line)
        if name:
            dll = name.group(1).lower()
            continue
        entry = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\S+)\s*$", line)
        if dll and entry:
            found.add((dll, entry.group(1)))
        elif not line.strip():
            dll = None
    return found


dump = subprocess.run([objdump, "-p", program], capture_output=True, text=True, check=True).stdout
imports = program_imports(dump)
if not imports:
    print(f"no imports read from {program}")
    sys.exit(1)
unknown = sorted(imports - allowed_imports(allowed_path))
for dll, function in unknown:
    print(f"not reviewed for Windows XP SP3: {dll} {function}")
print(f"{len(imports)} imports, {len(unknown)} not on the list")
sys.exit(1 if unknown else 0)
