// Writes the multipart/form-data body that Node's built-in FormData makes: a text field, then
// the given file. Usage: node formdata.mjs FILE BODY_OUT CONTENT_TYPE_OUT
import { readFileSync, writeFileSync } from 'node:fs';

const [source, bodyOut, typeOut] = process.argv.slice(2);
const form = new FormData();
form.append('note', 'uploaded from a script');
form.append('file', new Blob([readFileSync(source)]), 'aerkind.txt');
const response = new Response(form);
writeFileSync(bodyOut, Buffer.from(await response.arrayBuffer()));
writeFileSync(typeOut, response.headers.get('content-type'));
