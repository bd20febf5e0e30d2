// Prints the readings that the npm package pinyin-pro holds, as UTF-8 lines
// for tools/pinyin_dictionary.py:
//   char<TAB>reading reading ...   every character of its character dictionary
//   surname<TAB>name<TAB>reading   every entry of its surname dictionary
// Usage: node tools/pinyin_pro_export.mjs PATH/TO/node_modules/pinyin-pro
import { pathToFileURL } from 'node:url';
import { join, resolve } from 'node:path';

const root = resolve(process.argv[2] ?? 'node_modules/pinyin-pro');
const load = async (name) => import(pathToFileURL(join(root, 'dist/esm/data', name)).href);

const dict = (await load('dict1.mjs')).default;
const surnames = (await load('surname.mjs')).default;

const lines = [];
dict.NumberDICT.forEach((readings, code) => {
  if (readings) lines.push(`char\t${String.fromCharCode(code)}\t${readings}`);
});
for (const [word, readings] of dict.StringDICT) lines.push(`char\t${word}\t${readings}`);
for (const [name, readings] of Object.entries(surnames)) lines.push(`surname\t${name}\t${readings}`);
process.stdout.write(lines.join('\n') + '\n');
