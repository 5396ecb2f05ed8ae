// Mivo's textlint bridge: one JSON request line {"id", "text"} on standard
// input, one JSON response line {"id", "messages"} or {"id", "error"} on
// standard output, for as long as standard input stays open.
//
// Started by Mivo with the textlint package folder (the one holding
// ".textlintrc.json", "package.json" and "node_modules") as its working
// directory. This script lives in Mivo's resources, not in that folder, so
// textlint is resolved from the working directory rather than from here.

import { createRequire } from "node:module";
import path from "node:path";
import readline from "node:readline";

const packageRoot = process.cwd();
const requireFromPackage = createRequire(path.join(packageRoot, "package.json"));

function writeResponse(response) {
  process.stdout.write(JSON.stringify(response) + "\n");
}

function errorText(error) {
  return error instanceof Error ? error.message : String(error);
}

// Only the four members Mivo reads; textlint's line/column/severity/fix stay
// here. Ranges and indexes are UTF-16 offsets (JavaScript string indexes).
function toWire(message) {
  const index = Number.isInteger(message.index) ? message.index : 0;
  const range = Array.isArray(message.range) ? message.range : [index, index + 1];
  return {
    ruleId: String(message.ruleId ?? ""),
    message: String(message.message ?? ""),
    index,
    range,
  };
}

async function loadLinter() {
  const { createLinter, loadTextlintrc } = requireFromPackage("textlint");
  const descriptor = await loadTextlintrc({
    configFilePath: path.join(packageRoot, ".textlintrc.json"),
    node_modulesDir: path.join(packageRoot, "node_modules"),
  });
  return createLinter({ descriptor, cwd: packageRoot });
}

// Plain text, so that Markdown-looking sentences are linted as written.
const virtualFile = path.join(packageRoot, "sentence.txt");

async function main() {
  let linter = null;
  let loadError = null;
  try {
    linter = await loadLinter();
  } catch (error) {
    loadError = errorText(error);
  }

  const lines = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
  // One request at a time, in arrival order: a response always follows the
  // request it answers.
  for await (const line of lines) {
    if (line.trim() === "") continue;
    let request;
    try {
      request = JSON.parse(line);
    } catch (error) {
      writeResponse({ error: `bad request: ${errorText(error)}` });
      continue;
    }
    const id = typeof request?.id === "string" ? request.id : undefined;
    if (typeof request?.text !== "string") {
      writeResponse({ id, error: "bad request: no text" });
      continue;
    }
    if (!linter) {
      writeResponse({ id, error: `textlint unavailable: ${loadError}` });
      continue;
    }
    try {
      const result = await linter.lintText(request.text, virtualFile);
      writeResponse({ id, messages: result.messages.map(toWire) });
    } catch (error) {
      writeResponse({ id, error: errorText(error) });
    }
  }
}

main().catch((error) => {
  writeResponse({ error: errorText(error) });
  process.exitCode = 1;
});
