#!/usr/bin/env node
// Checks .gltf / .glb files with the Khronos glTF validator: external buffers and images are
// read from disk beside the file. Prints a summary per file (and every issue that is an error
// or a warning) and exits with 1 when any file has an error, 2 when the input could not be read.
//
//   node tools/gltf/validate.mjs [--json] FILE...
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import process from 'node:process';
import { fileURLToPath } from 'node:url';
import * as validator from 'gltf-validator';

const severities = ['error', 'warning', 'info', 'hint'];

function loadResource(baseDir, uri) {
  // Only plain relative references are files beside the asset; anything with a scheme
  // (http:, file:, …) is refused so that the check never reaches outside the disk layout.
  if (/^[a-zA-Z][a-zA-Z0-9+.-]*:/.test(uri))
    return Promise.reject(new Error(`not a relative file reference: ${uri}`));
  let decoded;
  try {
    decoded = decodeURIComponent(uri);
  } catch (e) {
    return Promise.reject(new Error(`malformed URI: ${uri}`));
  }
  return readFile(path.resolve(baseDir, decoded)).then((data) => new Uint8Array(data));
}

async function validateFile(file, printJson) {
  const full = path.resolve(file);
  const bytes = new Uint8Array(await readFile(full));
  const report = await validator.validateBytes(bytes, {
    uri: path.basename(full),
    maxIssues: 0,
    writeTimestamp: false,
    externalResourceFunction: (uri) => loadResource(path.dirname(full), uri),
  });
  if (printJson) {
    console.log(JSON.stringify(report, null, 2));
  } else {
    const i = report.issues;
    console.log(`${file}: ${i.numErrors} errors, ${i.numWarnings} warnings, ${i.numInfos} infos, ${i.numHints} hints`
      + (report.info ? ` (${report.info.drawCallCount ?? '?'} draw calls, ${report.info.totalVertexCount ?? '?'} vertices,`
        + ` ${report.info.totalTriangleCount ?? '?'} triangles)` : ''));
    for (const m of i.messages) {
      if (m.severity <= 1)
        console.log(`  ${severities[m.severity]} ${m.code}: ${m.message}${m.pointer ? ` at ${m.pointer}` : ''}`);
    }
  }
  return report.issues.numErrors;
}

async function main(argv) {
  const printJson = argv.includes('--json');
  const files = argv.filter((a) => a !== '--json');
  if (files.length === 0) {
    console.error(`usage: node ${path.relative(process.cwd(), fileURLToPath(import.meta.url))} [--json] FILE.gltf|FILE.glb ...`);
    return 2;
  }
  let errors = 0;
  for (const f of files) {
    try {
      errors += await validateFile(f, printJson);
    } catch (e) {
      console.error(`${f}: cannot validate: ${e?.message ?? e}`);
      return 2;
    }
  }
  return errors > 0 ? 1 : 0;
}

process.exitCode = await main(process.argv.slice(2));
