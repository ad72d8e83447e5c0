#!/usr/bin/env python3
"""The manual page's command section and the bash completion, both read from --help.

  commands CLI | man-include CLI OUT.h2m | completion CLI GUI DIR (DIR/ormax-cli, DIR/ormax)
The commands are those of the overview's "Commands:" list, so a new command or option
turns up without a change here; a help line this reader cannot take apart is an error.
"""
import os
import re
import subprocess
import sys

OPTION = re.compile(r"^  (-\S.*?)(?:\s{2,}(.*))?$")
ITEM = re.compile(r"^  (\S+)\s{2,}(.*)$")
CONTINUED = re.compile(r"^\s{4,}(\S.*)$")
CHOICES = re.compile(r"^((?:[a-z]+(?: \(default\))?, )*[a-z]+(?: \(default\))? or [a-z]+(?: \(default\))?)\.")


def run_help(program, *arguments):
    """The program's help text; the command line runs without a display."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    done = subprocess.run([program, *arguments, "--help"], capture_output=True, text=True,
                          env=env, check=False)
    if done.returncode != 0:
        sys.exit(f"from_help: '{program} {' '.join(arguments)} --help' exited with "
                 f"{done.returncode}: {done.stderr.strip()}")
    return done.stdout


def sections(text):
    """Usage line, description lines, and {section title: [(names, help)]}."""
    lines = text.rstrip("\n").split("\n")
    if not lines or not lines[0].startswith("Usage: "):
        sys.exit("from_help: a help text that does not begin with 'Usage: '")
    usage, description, parts, current = lines[0][len("Usage: "):], [], {}, None
    for line in lines[1:]:
        if re.match(r"^[A-Z][a-z]+:$", line):
            current = parts.setdefault(line[:-1], [])
        elif not line.strip():
            current = None  # a blank line ends a section
            description.append(line)
        elif current is None:
            description.append(line)
        elif (m := CONTINUED.match(line)) and current:
            names, words = current[-1]
            current[-1] = (names, (words + " " + m.group(1)).strip())
        elif m := (OPTION.match(line) or ITEM.match(line)):
            current.append((m.group(1).strip(), (m.group(2) or "").strip()))
        else:
            sys.exit(f"from_help: cannot read the help line '{line}'")
    while description and not description[-1].strip():
        description.pop()
    return usage, description, parts


def option_names(names):
    """'-b, --base <LIST.txt>' -> (['-b', '--base'], 'LIST.txt')."""
    m = re.match(r"^(.*?)(?: <([^>]+)>)?$", names)
    return [n.strip() for n in m.group(1).split(",")], m.group(2)


def commands(cli):
    """[(command, summary, usage, description, [(names, value, help)], [(argument, help)])]."""
    _, _, overview = sections(run_help(cli))
    if not overview.get("Commands"):
        sys.exit("from_help: the overview lists no commands")
    found = []
    for command, summary in overview["Commands"]:
        usage, description, parts = sections(run_help(cli, command))
        if not usage.startswith(f"ormax-cli {command} "):
            sys.exit(f"from_help: the usage line of {command} does not name it: '{usage}'")
        options = [(*option_names(n), h) for n, h in parts.get("Options", [])]
        found.append((command, summary, usage, description, options, parts.get("Arguments", [])))
    return found


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-").replace("\u2026", "...")
    return "\\&" + text if text[:1] in ".'" else text


def man_include(cli, out):
    lines = ["[COMMANDS]"]
    for command, summary, usage, description, options, arguments in commands(cli):
        lines += [f'.SS "{command}"', f"\\fB{roff(usage)}\\fR", ".br"]
        lines += [roff(d) for d in description] + [".PP"]
        for names, value, words in options:
            shown = ", ".join(f"\\fB{roff(n)}\\fR" for n in names)
            lines += [".TP", shown + (f" \\fI{roff(value)}\\fR" if value else ""), roff(words)]
        for name, words in arguments:
            lines += [".TP", f"\\fI{roff(name)}\\fR", roff(words)]
    lines += ["[EXIT STATUS]", "0 success, 2 a usage error, 1 an input that could not be "
              "processed (one line per problem on standard error, naming the file).",
              "[SEE ALSO]", ".BR ormax (1)"]
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def choices(words):
    """'table (default), csv or json.' -> ['table', 'csv', 'json']."""
    m = CHOICES.match(words)
    return re.findall(r"[a-z]+", m.group(1).replace("(default)", "").replace(" or ", ", ")) \
        if m else []


def value_words(value, words):
    """What a value is completed with: a word list, '-d' for folders, '-f' for files, ''."""
    if listed := choices(words):
        return "-W '" + " ".join(listed) + "'"
    if value == "DIR":
        return "-d"
    return "-f" if "." in value else ""


def case_of_values(options):
    """bash case arms: the options that take a value, and what completes it."""
    arms = {}
    for names, value, words in options:
        if value:
            arms.setdefault(value_words(value, words), []).extend(names)
    lines = []
    for what, names in arms.items():
        action = f'COMPREPLY=($(compgen {what} -- "$cur")); return' if what else "return"
        lines.append(f"    {'|'.join(names)}) {action} ;;")
    return "\n".join(lines)


def completion(cli, gui, out):
    found = commands(cli)
    arms = []
    for command, _, _, _, options, _ in found:
        every = " ".join(n for names, _, _ in options for n in names)
        arms.append(f"""  {command})
    case "$prev" in
{case_of_values(options) or '    --) ;;'}
    esac
    if [[ "$cur" == -* ]]; then COMPREPLY=($(compgen -W '{every}' -- "$cur"))
    else COMPREPLY=($(compgen -f -- "$cur")); fi ;;""")
    usage, _, parts = sections(run_help(gui))
    gui_options = [(*option_names(n), h) for n, h in parts.get("Options", [])]
    gui_every = " ".join(n for names, _, _ in gui_options for n in names)
    cli_text = f"""# bash completion for ormax-cli, made from its --help.
_ormax_cli() {{
  local cur="${{COMP_WORDS[COMP_CWORD]}}" prev="${{COMP_WORDS[COMP_CWORD-1]}}"
  COMPREPLY=()
  if (( COMP_CWORD == 1 )); then
    COMPREPLY=($(compgen -W '{" ".join(c[0] for c in found)} --help --version' -- "$cur"))
    return
  fi
  case "${{COMP_WORDS[1]}}" in
{chr(10).join(arms)}
  esac
}}
complete -o filenames -F _ormax_cli ormax-cli
"""
    gui_text = f"""# bash completion for ormax, made from its --help.
_ormax() {{
  local cur="${{COMP_WORDS[COMP_CWORD]}}" prev="${{COMP_WORDS[COMP_CWORD-1]}}"
  COMPREPLY=()
  case "$prev" in
{case_of_values(gui_options) or '    --) ;;'}
  esac
  if [[ "$cur" == -* ]]; then COMPREPLY=($(compgen -W '{gui_every}' -- "$cur"))
  else COMPREPLY=($(compgen -f -X '!*.[bB][mM][pP]' -- "$cur") $(compgen -d -- "$cur")); fi
}}
complete -o filenames -F _ormax ormax
"""
    for name, text in (("ormax-cli", cli_text), ("ormax", gui_text)):
        with open(os.path.join(out, name), "w", encoding="utf-8") as f:
            f.write(text)


def main(argv):
    if len(argv) == 3 and argv[1] == "commands":
        for command, _, _, _, options, _ in commands(argv[2]):
            print(command, *(n for names, _, _ in options for n in names))
    elif len(argv) == 4 and argv[1] == "man-include":
        man_include(argv[2], argv[3])
    elif len(argv) == 5 and argv[1] == "completion":
        completion(argv[2], argv[3], argv[4])
    else:
        sys.exit("usage: from_help.py commands CLI | man-include CLI OUT.h2m | "
                 "completion CLI GUI DIR")


if __name__ == "__main__":
    main(sys.argv)
